#pragma once

#include <string>

namespace pellquin {

// A Linux path ("/srv/data/x") in the form a Samba server reports paths ("C:\srv\data\x").
// Texts that do not start with '/' are returned unchanged.
std::string SambaServerForm(const std::string& localPath);

}  // namespace pellquin
