#pragma once
// The kit asks for its fonts by the names the panel's font folder gave them.
// A desktop system knows the same WenQuanYi fonts by their family names, so
// without a mapping every text falls back to the system's default font,
// whose wider glyphs the kit's layout was not made for.
inline constexpr char kMicroHeiFamily[] = "wqy-microhei";   // most texts
inline constexpr char kWenQuanYiFamily[] = "wenquanyi";     // address and date fields

// Maps the kit's font names to the installed WenQuanYi families.  Call once
// after the application object exists, before the first widget is made.
void RegisterKitFonts();
