// The editor's name, version, icon and desktop file name, as the desktop
// and the window manager see them.
#pragma once

namespace dozu {

// Before the application object: name, organisation and version.
void set_application_names();
// After it: the window icon and the desktop file name.
void set_application_identity();

}  // namespace dozu
