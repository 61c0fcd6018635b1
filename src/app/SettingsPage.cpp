// The settings page: the eight file-type boxes tied together by FileTypeRules, the Others
// extensions, and the language box.
#include "app/Main.h"

#include "app/ControlIds.h"
#include "win/Text.h"

namespace snapkeep {

ui::CheckBox& TMainForm::FileTypeBox(FileType type) {
    ui::CheckBox* boxes[kFileTypeCount] = {
        &CheckBoxAllExt,  &CheckBoxPictureExt,  &CheckBoxAudioExt, &CheckBoxVideoExt,
        &CheckBoxDataExt, &CheckBoxCompressExt, &CheckBoxImageExt, &CheckBoxOthersExt};
    return *boxes[static_cast<int>(type)];
}

const ui::CheckBox& TMainForm::FileTypeBox(FileType type) const {
    return const_cast<TMainForm*>(this)->FileTypeBox(type);
}

void TMainForm::CreateSettingsPage() {
    HWND page = TabSheet2.Handle();
    HFONT font = windowFont_.Handle();
    Panel2.Create(page, ids::Panel2, 8, 8, 545, 333, true, true);
    HWND panel = Panel2.Handle();
    GroupBox1.Create(panel, ids::GroupBox1, L" Backup File Type ", 8, 8, 521, 225);
    GroupBox1.SetFont(font);

    struct BoxLayout {
        const wchar_t* caption;
        int id;
        int width;
    };
    const BoxLayout layout[kFileTypeCount] = {
        {L"All File: *.*", ids::CheckBoxAllExt, 400},
        {L"Picture: bmp, jpg, jpeg, png, gif, tiff", ids::CheckBoxPictureExt, 400},
        {L"Audio: mp3, wma, ape, wav", ids::CheckBoxAudioExt, 400},
        {L"Video: wmv, avi, mp4, rm, rmvb, mpg, mpeg, mkv", ids::CheckBoxVideoExt, 400},
        {L"Data: txt, pdf, doc, docx, xls, xlsx, ppt, pptx", ids::CheckBoxDataExt, 400},
        {L"Compression: zip, rar, 7z, tar, gz, bz2", ids::CheckBoxCompressExt, 400},
        {L"Image: ISO, NRG ", ids::CheckBoxImageExt, 400},
        {L"Others:", ids::CheckBoxOthersExt, 57},
    };
    for (int i = 0; i < kFileTypeCount; ++i) {
        const FileType type = static_cast<FileType>(i);
        ui::CheckBox& box = FileTypeBox(type);
        box.Create(panel, layout[i].id, layout[i].caption, 8 + 16, 8 + 24 + 24 * i, layout[i].width,
                   17);
        box.SetFont(font);
        box.SetChecked(FileTypes.Checked(type));
        // The system has toggled the box; the rules decide what the page ends up showing.
        box.OnClick = [this, type] { FileTypes.SetChecked(type, FileTypeBox(type).Checked()); };
    }
    FileTypes.OnChanged = [this](FileType type, bool checked) {
        FileTypeBox(type).SetChecked(checked);
    };
    edtOthersExt.Create(panel, ids::edtOthersExt, 8 + 80, 8 + 192, 433, 22);
    edtOthersExt.SetFont(font);

    GroupBox2.Create(panel, ids::GroupBox2, L" Language Type ", 8, 248, 185, 73);
    GroupBox2.SetFont(font);
    ComboBoxLanguage.Create(panel, ids::ComboBoxLanguage, 8 + 16, 248 + 32, 145, 200);
    ComboBoxLanguage.SetFont(font);
    for (const Language& language : Languages())
        ComboBoxLanguage.Add(win::ToWide(language.DisplayName));
    ComboBoxLanguage.SetItemIndex(0);
    ComboBoxLanguage.OnChange = [this] { ComboBoxLanguageChange(); };
}

} // namespace snapkeep
