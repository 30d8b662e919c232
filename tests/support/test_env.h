// Temporary folders, environment variables and the user allowlist's place,
// the same way on every platform the tests run on.
#pragma once
#include <string>

namespace KEM::test {

// A new empty folder under the system's temporary folder.
std::string MakeTempFolder(const std::string& prefix);
void SetEnvVar(const std::string& name, const std::string& value);
// The variable the plug-in finds the user's folder by: HOME, or APPDATA on Windows.
const char* UserFolderVariable();
// Where the plug-in looks for origins.txt when UserFolderVariable() is folder.
std::string AllowlistPathIn(const std::string& folder);

}  // namespace KEM::test
