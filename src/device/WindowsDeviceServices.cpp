// GUID_DEVINTERFACE_DISK is defined (not only declared) in this unit: <initguid.h> must come
// before <winioctl.h>.
#include <initguid.h>

#include "device/WindowsDeviceServices.h"

#include "win/Handle.h"

#include <windows.h>
#include <setupapi.h>
#include <winioctl.h>

#include <array>
#include <cstddef>

namespace snapkeep::win {

namespace {

// A device-information set is freed with its own call.
struct DeviceInfoSetTraits {
    using Value = HDEVINFO;
    static Value Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Value h) noexcept { ::SetupDiDestroyDeviceInfoList(h); }
};
using DeviceInfoSet = UniqueHandle<DeviceInfoSetTraits>;

// Room for one interface's detail: the size field and the device path.
constexpr DWORD kDetailBufferSize = 1024;

} // namespace

bool WindowsDeviceServices::DiskInterfacePaths(std::vector<std::string>& paths) {
    paths.clear();
    DeviceInfoSet set(::SetupDiGetClassDevsA(&GUID_DEVINTERFACE_DISK, nullptr, nullptr,
                                             DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set)
        return false;
    // DWORD-aligned, as the detail structure needs.
    std::array<DWORD, kDetailBufferSize / sizeof(DWORD)> buffer;
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!::SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &GUID_DEVINTERFACE_DISK, index,
                                           &data))
            break;
        buffer.fill(0);
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        // A path too long for the buffer ends the list, as any other unreadable detail does.
        if (!::SetupDiGetDeviceInterfaceDetailA(set.Get(), &data, detail, kDetailBufferSize,
                                                nullptr, nullptr))
            break;
        paths.emplace_back(detail->DevicePath);
    }
    return true;
}

uint32_t WindowsDeviceServices::LogicalDrives() {
    return ::GetLogicalDrives();
}

char WindowsDeviceServices::WindowsFolderDrive() {
    char folder[MAX_PATH + 1] = {};
    const UINT length = ::GetWindowsDirectoryA(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? folder[0] : '\0';
}

bool WindowsDeviceServices::IsNetworkDrive(char letter) {
    const char root[] = {letter, ':', '\\', '\0'};
    return ::GetDriveTypeA(root) == DRIVE_REMOTE;
}

bool WindowsDeviceServices::QueryDeviceNumber(const std::string& path,
                                              StorageDeviceNumber& number) {
    // No access asked: the device-number request is a query, and needs no rights on the disk.
    FileHandle device(
        ::CreateFileA(path.c_str(), 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!device)
        return false;
    STORAGE_DEVICE_NUMBER reply{};
    DWORD returned = 0;
    if (!::DeviceIoControl(device.Get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &reply,
                           sizeof reply, &returned, nullptr) ||
        returned < sizeof reply)
        return false;
    number = {static_cast<uint32_t>(reply.DeviceType), reply.DeviceNumber, reply.PartitionNumber};
    return true;
}

StorageBus WindowsDeviceServices::QueryBusType(const std::string& path) {
    // No access asked, as for the device number: the property query needs no rights on the
    // disk, and opening it so sends the disk nothing.
    FileHandle device(::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!device)
        return StorageBus::Unknown;
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    // The descriptor's fixed part is enough: the bus type lies in it, the texts after it are
    // not needed.
    STORAGE_DEVICE_DESCRIPTOR descriptor{};
    DWORD returned = 0;
    if (!::DeviceIoControl(device.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                           &descriptor, sizeof descriptor, &returned, nullptr) ||
        returned < offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof descriptor.BusType)
        return StorageBus::Unknown;
    return static_cast<StorageBus>(descriptor.BusType);
}

} // namespace snapkeep::win
