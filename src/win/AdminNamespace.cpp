#include "win/AdminNamespace.h"

#include <windows.h>
#include <sddl.h>

#include <cstring>

namespace snapkeep::win {

namespace {

// A boundary descriptor is freed with its own call.
class Boundary {
public:
    explicit Boundary(const wchar_t* name) : handle_(::CreateBoundaryDescriptorW(name, 0)) {}
    ~Boundary() {
        if (handle_)
            ::DeleteBoundaryDescriptor(handle_);
    }
    Boundary(const Boundary&) = delete;
    Boundary& operator=(const Boundary&) = delete;
    HANDLE& Get() { return handle_; }

private:
    HANDLE handle_;
};

// The namespace's own security: only Administrators and SYSTEM may open it.
class AdminOnlySecurity {
public:
    AdminOnlySecurity() {
        attributes_.nLength = sizeof attributes_;
        ok_ = ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                  L"D:P(A;;GA;;;BA)(A;;GA;;;SY)", SDDL_REVISION_1,
                  &attributes_.lpSecurityDescriptor, nullptr) != FALSE;
    }
    ~AdminOnlySecurity() {
        if (attributes_.lpSecurityDescriptor)
            ::LocalFree(attributes_.lpSecurityDescriptor);
    }
    AdminOnlySecurity(const AdminOnlySecurity&) = delete;
    AdminOnlySecurity& operator=(const AdminOnlySecurity&) = delete;
    SECURITY_ATTRIBUTES* Get() { return ok_ ? &attributes_ : nullptr; }

private:
    SECURITY_ATTRIBUTES attributes_{};
    bool ok_ = false;
};

HANDLE OpenOrCreateNamespace() {
    const std::wstring name(kAdminNamespace, kAdminNamespace + strlen(kAdminNamespace));
    Boundary boundary(name.c_str());
    // No boundary means no private namespaces at all: the boundary call must then be the last
    // one made (Wine exports the SID call but aborts when it is called).
    if (!boundary.Get())
        return nullptr;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) ||
        !::AddSIDToBoundaryDescriptor(&boundary.Get(), administrators))
        return nullptr;
    AdminOnlySecurity security;
    if (!security.Get())
        return nullptr;
    HANDLE space = ::CreatePrivateNamespaceW(security.Get(), boundary.Get(), name.c_str());
    if (!space && ::GetLastError() == ERROR_ALREADY_EXISTS)
        space = ::OpenPrivateNamespaceW(boundary.Get(), name.c_str());
    return space;
}

} // namespace

std::string AdminNamespacePrefix() {
    // Opened once and never closed: the objects named in it live as long as the process.
    static const HANDLE space = OpenOrCreateNamespace();
    return space ? std::string(kAdminNamespace) + "\\" : std::string();
}

} // namespace snapkeep::win
