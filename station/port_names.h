#pragma once
// How port discovery reads the system's names: the roles of a serial port by the words of its
// friendly name, the COM number inside that name, and the USB ids inside an interface path.

#include <cstdint>
#include <string>

enum class PortRole {
  NotModule,   // no word of a module port: left alone
  AtPort,      // the module's AT command port
  Port9009,    // download port: "QDLoader 9009" or "Diagnostics 900E"
  Port9008,    // emergency download port: "QDLoader 9008"
  Diagnostic,  // any other module port
};

// The role of a serial port by its friendly name (case-sensitive words). A module port has
// "Diag", "DIAG", "QDLoader" or "AT Port" in its name; among those, the first matching role in
// the order AT port ("AT Port", "AT Server Port"), 9009, 9008, diagnostic.
PortRole portRoleOfName(const std::string& friendlyName);

// The port kind a diagnostic-role name is dispatched with: 1 when the name has "QDLoader",
// else 0.
int diagnosticKindOfName(const std::string& friendlyName);

// True for the names the removal handling looks at: "Diag", "DIAG" or "QDLoader".
bool isDiagnosticPortName(const std::string& friendlyName);

// The COM number of a friendly name: the text between the first "COM" and the first ")" after
// it, read as a decimal number. 0 when the name has no "COM" or no ")" after it, when the
// number field is empty, longer than 7 characters, or does not start with a digit, or when it
// reads as 0.
int comNumberOfFriendlyName(const std::string& friendlyName);

// Reads the USB vendor and product of an interface path: the 4 hexadecimal digits after
// "vid_", and the 4 that start 13 characters after the start of "vid_" (after "&pid_"). False
// when the path has no "vid_" or the digits are not there.
bool usbIdsOfInterfacePath(const std::string& path, uint16_t& vendorId, uint16_t& productId);

// The fastboot device identity.
inline constexpr uint16_t kFastbootVendorId = 0x18D1;
inline constexpr uint16_t kFastbootProductId = 0xD00D;
