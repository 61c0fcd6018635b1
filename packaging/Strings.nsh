; The installer's own texts in the program's six languages; NSIS's language files give the rest.
; UTF-8 (makensis -INPUTCHARSET UTF8).

LangString StartWithWindows ${LANG_ENGLISH} "Start with Windows"
LangString StartWithWindows ${LANG_TRADCHINESE} "隨 Windows 啟動"
LangString StartWithWindows ${LANG_SIMPCHINESE} "随 Windows 启动"
LangString StartWithWindows ${LANG_JAPANESE} "Windows の起動時に開始"
LangString StartWithWindows ${LANG_RUSSIAN} "Запускать вместе с Windows"
LangString StartWithWindows ${LANG_GERMAN} "Mit Windows starten"

LangString NeedAdministrator ${LANG_ENGLISH} "Administrator rights are needed to install or remove ${CAPTION}."
LangString NeedAdministrator ${LANG_TRADCHINESE} "安裝或移除 ${CAPTION} 需要系統管理員權限。"
LangString NeedAdministrator ${LANG_SIMPCHINESE} "安装或卸载 ${CAPTION} 需要管理员权限。"
LangString NeedAdministrator ${LANG_JAPANESE} "${CAPTION} のインストールまたは削除には管理者権限が必要です。"
LangString NeedAdministrator ${LANG_RUSSIAN} "Для установки или удаления ${CAPTION} нужны права администратора."
LangString NeedAdministrator ${LANG_GERMAN} "Zum Installieren oder Entfernen von ${CAPTION} sind Administratorrechte nötig."

LangString RemoveUserData ${LANG_ENGLISH} "Also remove your folder lists and settings (Host.txt, Device.txt, Setting.txt)?$\n$\nKeep them if you will install ${CAPTION} again."
LangString RemoveUserData ${LANG_TRADCHINESE} "是否一併刪除您的資料夾清單與設定（Host.txt、Device.txt、Setting.txt）？$\n$\n若之後還要再安裝 ${CAPTION}，請保留它們。"
LangString RemoveUserData ${LANG_SIMPCHINESE} "是否同时删除您的文件夹列表和设置（Host.txt、Device.txt、Setting.txt）？$\n$\n如果以后还要重新安装 ${CAPTION}，请保留它们。"
LangString RemoveUserData ${LANG_JAPANESE} "フォルダー一覧と設定（Host.txt、Device.txt、Setting.txt）も削除しますか？$\n$\n${CAPTION} を再びインストールする場合は残しておいてください。"
LangString RemoveUserData ${LANG_RUSSIAN} "Удалить также ваши списки папок и настройки (Host.txt, Device.txt, Setting.txt)?$\n$\nОставьте их, если снова будете устанавливать ${CAPTION}."
LangString RemoveUserData ${LANG_GERMAN} "Auch Ihre Ordnerlisten und Einstellungen (Host.txt, Device.txt, Setting.txt) entfernen?$\n$\nBehalten Sie sie, wenn Sie ${CAPTION} wieder installieren möchten."

LangString ProgramRunning ${LANG_ENGLISH} "${CAPTION} is running. Close it (in its tray icon's menu), then choose Retry."
LangString ProgramRunning ${LANG_TRADCHINESE} "${CAPTION} 正在執行。請先關閉它（在通知區域圖示的選單中），然後按「重試」。"
LangString ProgramRunning ${LANG_SIMPCHINESE} "${CAPTION} 正在运行。请先关闭它（在通知区域图标的菜单中），然后单击“重试”。"
LangString ProgramRunning ${LANG_JAPANESE} "${CAPTION} が実行中です。通知領域のアイコンのメニューから終了してから、「再試行」を押してください。"
LangString ProgramRunning ${LANG_RUSSIAN} "${CAPTION} запущен. Закройте программу (в меню её значка в области уведомлений) и нажмите «Повтор»."
LangString ProgramRunning ${LANG_GERMAN} "${CAPTION} läuft. Beenden Sie das Programm (im Menü seines Infobereichsymbols) und wählen Sie „Wiederholen“."

LangString TaskNotRegistered ${LANG_ENGLISH} "${CAPTION} could not be set to start with Windows. Start it from the Start menu instead."
LangString TaskNotRegistered ${LANG_TRADCHINESE} "無法將 ${CAPTION} 設為隨 Windows 啟動。請改從「開始」功能表啟動它。"
LangString TaskNotRegistered ${LANG_SIMPCHINESE} "无法将 ${CAPTION} 设置为随 Windows 启动。请改从“开始”菜单启动它。"
LangString TaskNotRegistered ${LANG_JAPANESE} "${CAPTION} を Windows の起動時に開始するよう設定できませんでした。スタート メニューから起動してください。"
LangString TaskNotRegistered ${LANG_RUSSIAN} "Не удалось настроить запуск ${CAPTION} вместе с Windows. Запускайте программу из меню «Пуск»."
LangString TaskNotRegistered ${LANG_GERMAN} "${CAPTION} konnte nicht so eingerichtet werden, dass es mit Windows startet. Starten Sie es stattdessen über das Startmenü."
