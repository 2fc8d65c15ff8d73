#pragma once

#include <string>

namespace pellquin {

// A Samba server names the files and folders of its Linux machine in Windows form: "C:"
// followed by the Unix path with backslashes. These convert between the two forms.

// A Linux path ("/srv/data/x") in the form a Samba server reports paths ("C:\srv\data\x").
// Texts that do not start with '/' are returned unchanged.
std::string SambaServerForm(const std::string& localPath);

// A path that a Samba server gave in its Windows form ("C:" then the Unix path with
// backslashes, as share folders are reported) as the Unix path; other paths unchanged.
std::string UnixPathOfServerPath(const std::string& path);

}  // namespace pellquin
