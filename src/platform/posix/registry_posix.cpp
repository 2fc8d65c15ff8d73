// The registry on Linux: one REGEDIT4 text file per root in the user's configuration
// directory ($XDG_CONFIG_HOME/pellquin, else ~/.config/pellquin), named after the root:
// HKEY_CURRENT_USER.reg and HKEY_CLASSES_ROOT.reg. The files are what regedit imports, so a
// user can move settings to Windows and back. HiveFile keeps each file; this adapter keeps
// the open handles. Changes hold an exclusive lock on the directory from reading the file to
// renaming the new one, so that concurrent processes never drop each other's changes.

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

#include "platform/posix/directory_lock_posix.h"
#include "platform/posix/hive_file_posix.h"
#include "platform/registry.h"
#include "platform/registry_hive.h"

namespace pellquin {
namespace {

class RegistryPosix : public Registry {
public:
    explicit RegistryPosix(const std::string& directory)
        : m_lock(directory),
          m_currentUser(directory, RegistryRootName(RegistryRoot::CurrentUser), m_lock),
          m_classesRoot(directory, RegistryRootName(RegistryRoot::ClassesRoot), m_lock) {}

    uint32_t CreateKey(RegistryRoot root, const std::string& path, uint32_t access,
                       RegistryHandle* key) override {
        *key = 0;
        if (!IsValidRegistryPath(path)) {
            return kRegInvalidParameter;
        }
        const DirectoryLock::Hold hold(m_lock);
        HiveFile& file = FileOf(root);
        RegistryHive next = file.Current();
        if (next.Create(path)) {
            const uint32_t status = file.Commit(std::move(next));
            if (status != kRegSuccess) {
                return status;
            }
        }
        *key = AddHandle(root, path, access);
        return kRegSuccess;
    }

    uint32_t OpenKey(RegistryRoot root, const std::string& path, uint32_t access,
                     RegistryHandle* key) override {
        *key = 0;
        if (!IsValidRegistryPath(path)) {
            return kRegInvalidParameter;
        }
        if (FileOf(root).Current().Find(path) == nullptr) {
            return kRegFileNotFound;
        }
        *key = AddHandle(root, path, access);
        return kRegSuccess;
    }

    uint32_t QueryValue(RegistryHandle handle, const std::string& name, uint32_t* type,
                        std::string* data) override {
        const HiveKey* key = nullptr;
        const uint32_t status = Resolve(handle, kKeyQueryValue, &key);
        if (status != kRegSuccess) {
            return status;
        }
        const RegistryValue* value = key->Find(name);
        if (value == nullptr) {
            return kRegFileNotFound;
        }
        *type = value->type;
        *data = value->data;
        return kRegSuccess;
    }

    uint32_t SetValue(RegistryHandle handle, const std::string& name, uint32_t type,
                      const std::string& data) override {
        const DirectoryLock::Hold hold(m_lock);
        const HiveKey* key = nullptr;
        const uint32_t status = Resolve(handle, kKeySetValue, &key);
        if (status != kRegSuccess) {
            return status;
        }
        if (!IsValidRegistryName(name)) {
            return kRegInvalidParameter;
        }
        const OpenedKey& opened = m_handles.at(handle);
        HiveFile& file = FileOf(opened.root);
        RegistryHive next = file.Current();
        HiveKey* target = next.Find(opened.path);
        if (target == nullptr) {
            return kRegKeyDeleted;  // a hand edit outside the lock removed it meanwhile
        }
        target->Set(name, type, data);
        return file.Commit(std::move(next));
    }

    uint32_t DeleteValue(RegistryHandle handle, const std::string& name) override {
        const DirectoryLock::Hold hold(m_lock);
        const HiveKey* key = nullptr;
        const uint32_t status = Resolve(handle, kKeySetValue, &key);
        if (status != kRegSuccess) {
            return status;
        }
        if (key->Find(name) == nullptr) {
            return kRegFileNotFound;
        }
        const OpenedKey& opened = m_handles.at(handle);
        HiveFile& file = FileOf(opened.root);
        RegistryHive next = file.Current();
        HiveKey* target = next.Find(opened.path);
        if (target == nullptr) {
            return kRegKeyDeleted;
        }
        target->Remove(name);
        return file.Commit(std::move(next));
    }

    uint32_t DeleteKey(RegistryHandle handle, const std::string& subKey) override {
        const DirectoryLock::Hold hold(m_lock);
        const HiveKey* key = nullptr;
        const uint32_t status = Resolve(handle, 0, &key);
        if (status != kRegSuccess) {
            return status;
        }
        if (subKey.empty() || !IsValidRegistryPath(subKey)) {
            return kRegInvalidParameter;
        }
        const OpenedKey& opened = m_handles.at(handle);
        const std::string path = opened.path.empty() ? subKey : opened.path + "\\" + subKey;
        HiveFile& file = FileOf(opened.root);
        RegistryHive next = file.Current();
        if (next.Find(path) == nullptr) {
            return kRegFileNotFound;
        }
        if (next.HasSubkeys(path)) {
            return kRegAccessDenied;
        }
        next.Remove(path);
        return file.Commit(std::move(next));
    }

    uint32_t CloseKey(RegistryHandle handle) override {
        return m_handles.erase(handle) == 1 ? kRegSuccess : kRegInvalidHandle;
    }

private:
    struct OpenedKey {
        RegistryRoot root;
        std::string path;
        uint32_t access;
    };

    HiveFile& FileOf(RegistryRoot root) {
        return root == RegistryRoot::ClassesRoot ? m_classesRoot : m_currentUser;
    }

    RegistryHandle AddHandle(RegistryRoot root, const std::string& path, uint32_t access) {
        const RegistryHandle handle = m_nextHandle++;
        m_handles[handle] = OpenedKey{root, path, access};
        return handle;
    }

    // Finds the key behind an open handle that grants `needed`, as the file holds it now.
    uint32_t Resolve(RegistryHandle handle, uint32_t needed, const HiveKey** key) {
        const auto it = m_handles.find(handle);
        if (it == m_handles.end()) {
            return kRegInvalidHandle;
        }
        if ((it->second.access & needed) != needed) {
            return kRegAccessDenied;
        }
        *key = FileOf(it->second.root).Current().Find(it->second.path);
        return *key == nullptr ? kRegKeyDeleted : kRegSuccess;
    }

    DirectoryLock m_lock;  // before the hives, which refer to it
    HiveFile m_currentUser;
    HiveFile m_classesRoot;
    std::map<RegistryHandle, OpenedKey> m_handles;
    RegistryHandle m_nextHandle = 1;
};

std::string ConfigDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // Relative values are to be ignored.
    if (xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg) + "/pellquin";
    }
    const char* home = std::getenv("HOME");
    std::string base = home != nullptr && home[0] == '/' ? home : "";
    if (base.empty()) {
        const passwd* entry = getpwuid(geteuid());
        base = entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/tmp";
    }
    return base + "/.config/pellquin";
}

}  // namespace

std::unique_ptr<Registry> MakeRegistry() {
    return std::make_unique<RegistryPosix>(ConfigDirectory());
}

}  // namespace pellquin
