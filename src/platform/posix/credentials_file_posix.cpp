#include "platform/credentials_file.h"

#include "platform/bounded_file.h"

namespace pellquin {
namespace {

// An smbclient-style file holds three short lines; anything near this is not one.
constexpr size_t kMaxCredentialsBytes = 64 * 1024;

}  // namespace

CredentialsLoad LoadCredentialsFile(const std::string& path, SmbCredentials* credentials,
                                    std::string* error) {
    // Links are followed: the file is named by the user, and its mode is judged on the file
    // actually read.
    const BoundedFileRead file = ReadBoundedFile(path, kMaxCredentialsBytes, FileLinks::Follow);
    if (file.status != BoundedFileRead::Status::Read) {
        *error = "Cannot read the credentials file " + path + ": " + file.problem;
        return file.status == BoundedFileRead::Status::Missing ? CredentialsLoad::Missing
                                                               : CredentialsLoad::Failed;
    }
    const std::string problem = CredentialsModeProblem(path, file.mode);
    if (!problem.empty()) {
        *error = problem;
        return CredentialsLoad::Failed;
    }
    std::string parseError;
    if (!ParseCredentials(file.text, credentials, &parseError)) {
        *error = "The credentials file " + path + " is malformed: " + parseError;
        return CredentialsLoad::Failed;
    }
    return CredentialsLoad::Loaded;
}

}  // namespace pellquin
