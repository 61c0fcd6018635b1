// Applying a language file: every caption of the key list and the interface text table.
#include "app/Main.h"

#include "win/Files.h"
#include "win/Text.h"

namespace snapkeep {

void TMainForm::ComboBoxLanguageChange() {
    // No entry selected (or one the list does not know) gives an empty path: nothing changes.
    const std::u16string relative = LanguageFilePath(ComboBoxLanguage.ItemIndex());
    ApplyLanguage(relative.empty() ? std::wstring() : DataPath(win::ToWide(relative)));
}

void TMainForm::ApplyLanguage(const std::wstring& path) {
    if (path.empty())
        return;
    const std::optional<std::string> bytes = win::ReadWholeFile(path);
    if (!bytes)
        return;
    const auto texts = ReadLanguageTexts(*bytes);
    const auto keys = LanguageKeys();
    for (size_t i = 0; i < kLanguageKeyCount; ++i) {
        const std::wstring text = win::ToWide(texts[i]);
        if (keys[i].SetsCaption) {
            if (*keys[i].SetsCaption == snapkeep::Caption::LabelVersion)
                SetCaptionOf(snapkeep::Caption::LabelVersion, text + win::AnsiToWide(VersionText));
            else
                SetCaptionOf(*keys[i].SetsCaption, text);
        }
        if (keys[i].StoresText)
            textTable_[static_cast<size_t>(*keys[i].StoresText)] = text;
    }
}

void TMainForm::SetCaptionOf(snapkeep::Caption widget, const std::wstring& text) {
    switch (widget) {
    case snapkeep::Caption::TabSheet1:
        return PageControl1.SetPageCaption(0, text);
    case snapkeep::Caption::TabSheet2:
        return PageControl1.SetPageCaption(1, text);
    case snapkeep::Caption::TabSheet3:
        return PageControl1.SetPageCaption(2, text);
    case snapkeep::Caption::GroupBox1:
        return GroupBox1.SetCaption(text);
    case snapkeep::Caption::GroupBox2:
        return GroupBox2.SetCaption(text);
    case snapkeep::Caption::GroupBox3:
        return GroupBox3.SetCaption(text);
    case snapkeep::Caption::GroupBox4:
        return GroupBox4.SetCaption(text);
    case snapkeep::Caption::ListViewHost:
        return ListViewHost.SetColumnCaption(text);
    case snapkeep::Caption::ListViewDevice:
        return ListViewDevice.SetColumnCaption(text);
    case snapkeep::Caption::btnBackup:
        return btnBackup.SetCaption(text);
    case snapkeep::Caption::btnRestore:
        return btnRestore.SetCaption(text);
    case snapkeep::Caption::btnHelp:
        return btnHelp.SetCaption(text);
    case snapkeep::Caption::btnHostAdd:
        return btnHostAdd.SetCaption(text);
    case snapkeep::Caption::btnHostDel:
        return btnHostDel.SetCaption(text);
    case snapkeep::Caption::LabelDiskStatus:
        return LabelDiskStatus.SetCaption(text);
    case snapkeep::Caption::LabelVersion:
        return LabelVersion.SetCaption(text);
    case snapkeep::Caption::CheckBoxAllExt:
        return CheckBoxAllExt.SetCaption(text);
    case snapkeep::Caption::CheckBoxPictureExt:
        return CheckBoxPictureExt.SetCaption(text);
    case snapkeep::Caption::CheckBoxAudioExt:
        return CheckBoxAudioExt.SetCaption(text);
    case snapkeep::Caption::CheckBoxVideoExt:
        return CheckBoxVideoExt.SetCaption(text);
    case snapkeep::Caption::CheckBoxDataExt:
        return CheckBoxDataExt.SetCaption(text);
    case snapkeep::Caption::CheckBoxCompressExt:
        return CheckBoxCompressExt.SetCaption(text);
    case snapkeep::Caption::CheckBoxImageExt:
        return CheckBoxImageExt.SetCaption(text);
    case snapkeep::Caption::CheckBoxOthersExt:
        return CheckBoxOthersExt.SetCaption(text);
    }
}

} // namespace snapkeep
