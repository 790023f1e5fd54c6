// The parameter edit of a define group takes a typed sub-folder while its define has no
// parameters of its own ("%InstallDir%" + "bin"); for a define that takes parameters it stays
// read-only and is filled through "詳細" (the define parameter dialog).
#pragma once

namespace zeriru::gui {

class TParameterField;

// Keeps the field's edit writable exactly while the define of its combo takes no parameters.
void AllowTypedSubFolder(TParameterField& field);

}  // namespace zeriru::gui
