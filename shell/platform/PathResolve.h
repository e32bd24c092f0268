// Case-insensitive path lookup: the engine names files as a case-insensitive file system
// would, the folders on disk are case-sensitive.
#pragma once

#include <string>

namespace pf {

// Joins an OS folder (UTF-8, used as it stands; "" is the working folder) and a relative
// path whose components are separated by '/' or '\'. Each component that does not exist
// with its own spelling is replaced by the first entry of its folder that equals it
// ignoring ASCII case; components that match nothing stay as written (so the result also
// names files about to be created). Empty components are dropped.
std::string ResolvePath(const std::string& folder, const std::string& relative);
// The same without the folder: the resolved components joined with '/' (what to open
// below the folder, see OpenParentBeneath).
std::string ResolveBelow(const std::string& folder, const std::string& relative);

}  // namespace pf
