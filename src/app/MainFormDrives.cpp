// The main window's side of the drive rescan: the drive-letter box, the disk status label and
// the command buttons, and the device services the rescan asks.
#include "app/Main.h"

#include "device/MessageBoxNotifier.h"
#include "device/WindowsDeviceServices.h"
#include "ui/Application.h"
#include "win/Handle.h"

namespace snapkeep {

void TMainForm::UseSystemDevices() {
    devices_ = std::make_unique<win::WindowsDeviceServices>();
    notifier_ = std::make_unique<win::MessageBoxNotifier>();
}

void TMainForm::UseDevices(std::unique_ptr<DeviceServices> devices) {
    devices_ = std::move(devices);
}

void TMainForm::UseNotifier(std::unique_ptr<ErrorNotifier> notifier) {
    notifier_ = std::move(notifier);
}

bool TMainForm::RescanDrives() {
    ++rescanCount_;
    // The lock does not keep out this thread: a rescan nested in the message pump or in a
    // message box of identification runs to its end inside this one.
    win::CriticalSectionLock lock(RescanLock);
    return snapkeep::RescanDrives(*devices_, *notifier_, Config, *this);
}

void TMainForm::ClearDriveBox() {
    ComboBoxDiskLetter.SetItemIndex(-1);
    ComboBoxDiskLetter.Clear();
}

void TMainForm::ProcessPendingMessages() {
    ui::Application::Instance().ProcessMessages();
}

void TMainForm::AddDriveEntry(char letter) {
    // A rescan nested in this one may have listed the drive already: one entry per drive.
    const std::wstring entry{static_cast<wchar_t>(letter), L':', L'\\'};
    for (int i = 0; i < ComboBoxDiskLetter.Count(); ++i)
        if (ComboBoxDiskLetter.Item(i) == entry)
            return;
    ComboBoxDiskLetter.Add(entry);
}

void TMainForm::SetEnclosureDevicePath(const std::string& path) {
    EnclosureDevicePath = path;
}

void TMainForm::ShowRescanResult(bool found) {
    // The volume the user chose stays chosen while it is listed: a USB stick plugged in, or a
    // burst of device changes, must not send the next job to another volume.
    int selected = found ? 0 : -1;
    for (int i = 0; found && i < ComboBoxDiskLetter.Count(); ++i)
        if (ComboBoxDiskLetter.Item(i) == chosenDrive_)
            selected = i;
    ComboBoxDiskLetter.SetItemIndex(selected);
    if (selected >= 0)
        chosenDrive_ = ComboBoxDiskLetter.Item(selected);
    ShowDeviceFolders();
    LabelDiskStatus.SetCaption(TextOf(found ? Text::LabelDiskStatusYes : Text::LabelDiskStatusNo));
    UpdateBackupButton();
    UpdateRestoreButton();
}

} // namespace snapkeep
