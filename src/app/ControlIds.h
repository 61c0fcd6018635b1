#pragma once
// Stable ids of the main window's controls, so that tests and tools can find each one.
namespace snapkeep::ids {

enum : int {
    PageControl1 = 100,
    TabSheet1,
    TabSheet2,
    TabSheet3,
    GroupBox3 = 110,
    ListViewHost,
    btnHostAdd,
    btnHostDel,
    GroupBox4,
    ComboBoxDiskLetter,
    LabelDiskStatus,
    ListViewDevice,
    btnBackup,
    btnRestore,
    Panel2 = 130,
    GroupBox1,
    CheckBoxAllExt,
    CheckBoxPictureExt,
    CheckBoxAudioExt,
    CheckBoxVideoExt,
    CheckBoxDataExt,
    CheckBoxCompressExt,
    CheckBoxImageExt,
    CheckBoxOthersExt,
    edtOthersExt,
    GroupBox2,
    ComboBoxLanguage,
    Panel1 = 150,
    Image1,
    LabelVersion,
    btnHelp,
};

} // namespace snapkeep::ids
