#include "platform/posix/smb_context.h"

#include <sys/stat.h>

#include <cctype>
#include <cstring>

#include "platform/credentials_choice.h"

namespace pellquin {
namespace {

void Authenticate(SMBCCTX* context, const char* /*server*/, const char* /*share*/, char* workgroup,
                  int workgroupLength, char* user, int userLength, char* password,
                  int passwordLength) {
    const auto* credentials = static_cast<const SmbCredentials*>(smbc_getOptionUserData(context));
    if (credentials == nullptr || credentials->user.empty()) {
        return;
    }
    auto copy = [](char* out, int length, const std::string& text) {
        if (length > 0) {
            std::strncpy(out, text.c_str(), static_cast<size_t>(length) - 1);
            out[length - 1] = '\0';
        }
    };
    if (!credentials->domain.empty()) {
        copy(workgroup, workgroupLength, credentials->domain);
    }
    copy(user, userLength, credentials->user);
    copy(password, passwordLength, credentials->password);
}

}  // namespace

bool IsUncPathText(const std::string& path) {
    return path.size() >= 2 &&
           ((path[0] == '\\' && path[1] == '\\') || (path[0] == '/' && path[1] == '/'));
}

std::string SmbUrlOf(const std::string& unc) {
    std::string rest = unc.substr(2);
    for (char& c : rest) {
        if (c == '\\') {
            c = '/';
        }
    }
    const size_t serverEnd = rest.find('/');
    std::string url = "smb://" + rest.substr(0, serverEnd);
    if (serverEnd == std::string::npos) {
        return url;
    }
    static const char kHex[] = "0123456789ABCDEF";
    for (size_t i = serverEnd; i < rest.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(rest[i]);
        if (std::isalnum(c) || std::strchr("/-_.~!$&'()*+,;=:@ ", c) != nullptr || c >= 0x80) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    while (url.size() > 6 && url.back() == '/') {
        url.pop_back();
    }
    return url;
}

SmbCredentials SmbCredentialsOf(const std::string& namedFile) {
    std::string file;
    std::string problem;
    return SmbCredentialsOf(namedFile, &file, &problem);
}

SmbCredentials SmbCredentialsOf(const std::string& namedFile, std::string* file,
                                std::string* problem) {
    const CredentialsChoice choice = ChooseCredentials(namedFile, CurrentCredentialsEnvironment());
    SmbCredentials credentials;
    std::string error;
    file->clear();
    problem->clear();
    if (choice.file.empty()) {
        return credentials;
    }
    // Without a usable file the caller goes on without a user: what the server then
    // refuses is reported by the operation that follows.
    const CredentialsLoad load = LoadCredentialsFile(choice.file, &credentials, &error);
    if (load == CredentialsLoad::Loaded) {
        *file = choice.file;
        return credentials;
    }
    // A default file that is not there was never meant; a named one, or a broken one, was.
    if (load == CredentialsLoad::Failed || choice.source == CredentialsSource::NamedFile) {
        *file = choice.file;
        *problem = error;
    }
    return SmbCredentials{};
}

SmbContext::SmbContext(std::string credentialsFile)
    : m_credentialsFile(std::move(credentialsFile)) {}

SmbContext::SmbContext(const SmbCredentials& credentials)
    : m_credentials(credentials), m_credentialsGiven(true) {}

SmbContext::~SmbContext() {
    if (m_context != nullptr) {
        smbc_free_context(m_context, 1);
    }
}

SMBCCTX* SmbContext::Get() {
    if (m_context != nullptr || m_failed) {
        return m_context;
    }
    if (!m_credentialsGiven) {
        m_credentials = SmbCredentialsOf(m_credentialsFile, &m_fileUsed, &m_fileProblem);
    }
    SMBCCTX* context = smbc_new_context();
    if (context == nullptr) {
        m_failed = true;
        return nullptr;
    }
    smbc_setDebug(context, 0);
    smbc_setOptionUserData(context, &m_credentials);
    smbc_setFunctionAuthDataWithContext(context, Authenticate);
    smbc_setOptionUseKerberos(context, m_credentials.user.empty() ? 1 : 0);
    smbc_setOptionFallbackAfterKerberos(context, 1);
    if (smbc_init_context(context) == nullptr) {
        smbc_free_context(context, 0);
        m_failed = true;
        return nullptr;
    }
    m_context = context;
    return m_context;
}

bool IsDirectoryPath(const std::string& path, SmbContext* smb) {
    if (!IsUncPathText(path)) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }
    SMBCCTX* context = smb->Get();
    if (context == nullptr) {
        return false;
    }
    SMBCFILE* dir = smbc_getFunctionOpendir(context)(context, SmbUrlOf(path).c_str());
    if (dir == nullptr) {
        return false;
    }
    smbc_getFunctionClosedir(context)(context, dir);
    return true;
}

}  // namespace pellquin
