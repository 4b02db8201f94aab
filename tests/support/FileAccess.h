#pragma once
// Makes file permissions count for a test that runs as root: while a TFileAccessAsUser
// lives, the process's root may no longer read or write past a file's mode (its
// CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH are dropped from the effective set and given back
// afterwards). A file of mode 000 is then unreadable, as it is for every user.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace testsupport {

class TFileAccessAsUser {
public:
    TFileAccessAsUser() {
        if (!Get(m_saved)) return;
        __user_cap_data_struct data[2] = {m_saved[0], m_saved[1]};
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) data[cap / 32].effective &= ~(1u << (cap % 32));
        m_active = Set(data);
    }
    ~TFileAccessAsUser() {
        if (m_active) Set(m_saved);
    }
    TFileAccessAsUser(const TFileAccessAsUser&) = delete;
    TFileAccessAsUser& operator=(const TFileAccessAsUser&) = delete;

private:
    static bool Get(__user_cap_data_struct* data) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capget, &header, data) == 0;
    }
    static bool Set(__user_cap_data_struct* data) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capset, &header, data) == 0;
    }
    __user_cap_data_struct m_saved[2] = {};
    bool m_active = false;
};

}  // namespace testsupport
