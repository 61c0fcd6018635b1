#include "device/PassThroughPort.h"

#include "device/PassThroughRequest.h"
#include "device/SendBridgeCommand.h"
#include "win/Handle.h"
#include "win/Text.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace snapkeep::win {

namespace {

// A zero-filled block aligned to kPassThroughAlignment, freed on every road out.
class AlignedBlock {
public:
    explicit AlignedBlock(size_t size) : size_(size) {
        if (size_ == 0)
            return;
        data_ = static_cast<uint8_t*>(::operator new(size_, kAlignment, std::nothrow));
        if (data_)
            std::memset(data_, 0, size_);
    }
    ~AlignedBlock() {
        if (data_)
            ::operator delete(data_, kAlignment);
    }
    AlignedBlock(const AlignedBlock&) = delete;
    AlignedBlock& operator=(const AlignedBlock&) = delete;

    uint8_t* Data() const { return data_; }
    bool Allocated() const { return size_ == 0 || data_ != nullptr; }

private:
    static constexpr std::align_val_t kAlignment{kPassThroughAlignment};
    size_t size_;
    uint8_t* data_ = nullptr;
};

BOOL CallDeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out,
                         DWORD outSize, DWORD* returned) {
    return ::DeviceIoControl(device, code, in, inSize, out, outSize, returned, nullptr);
}

} // namespace

PassThroughPort::PassThroughPort() : deviceControl_(CallDeviceIoControl) {}

PassThroughPort::PassThroughPort(DeviceControlCall deviceControl)
    : deviceControl_(std::move(deviceControl)) {}

bool PassThroughPort::Execute(const std::string& devicePath, std::span<const uint8_t> commandBlock,
                              std::span<uint8_t> dataIn) {
    if (commandBlock.empty() || commandBlock.size() > kMaxCommandBlockLength ||
        dataIn.size() > std::numeric_limits<uint32_t>::max())
        return false;

    FileHandle device(::CreateFileW(AnsiToWide(devicePath).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
    if (!device)
        return false;

    AlignedBlock requestBlock(sizeof(ScsiPassThroughDirect));
    AlignedBlock data(dataIn.size());
    if (!requestBlock.Allocated() || !data.Allocated())
        return false;
    auto* request = reinterpret_cast<ScsiPassThroughDirect*>(requestBlock.Data());
    const auto transferLength = static_cast<uint32_t>(dataIn.size());
    FillPassThroughRequest(*request, commandBlock, data.Data(), transferLength);

    // A successful call need not clear the last error, so a stale code from an earlier call
    // would turn success into failure: start from 0 so that the check sees this call only.
    DWORD returned = 0;
    ::SetLastError(ERROR_SUCCESS);
    const BOOL ok = deviceControl_(device.Get(), kIoctlScsiPassThroughDirect, request,
                                   sizeof(ScsiPassThroughDirect), request,
                                   sizeof(ScsiPassThroughDirect), &returned);
    const DWORD error = ::GetLastError();

    // Handed back whatever the outcome; bytes the device did not write are still zero.
    if (transferLength > 0)
        std::copy_n(data.Data(), dataIn.size(), dataIn.begin());
    const uint8_t status = request->ScsiStatus;
    return ok && error == ERROR_SUCCESS && status == 0;
}

} // namespace snapkeep::win
