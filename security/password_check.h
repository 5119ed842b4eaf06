// Whether an encrypted input can be split: the support checks, the
// permission to split and the judgement of one password. The password loop
// itself runs in the split job, which asks the person.
#pragma once

#include <cstdint>
#include <string>

#include "base/job.h"
#include "pdfread/reader_record.h"

namespace brisel {

// The file key length in bytes for a /Length in bits: 5 when that gives 0.
int32_t KeyBytesFor(uint32_t keyLengthBits);

// Whether the dictionary describes a standard handler file that this program
// can decrypt: revisions 2 to 4 (needs KeyBytes), or 5 and 6 with AES-256.
bool IsSupportedEncryption(const SecurityState& security);

// Whether the permissions let a user who only opens the file split it.
bool SplitPermitted(const SecurityState& security);

// NeedsOwnerPassword: the empty password opens the file, but its
// permissions forbid splitting and the empty password is not the owner's.
enum class OpenCheck { Opened, NeedsPassword, NeedsOwnerPassword, Told };

// Converts the key length and runs the checks with the empty password:
// Opened with the file key in reader.security.FileKey, NeedsPassword,
// NeedsOwnerPassword, or Told
// when the user was told why the file cannot be split.
OpenCheck CheckWithoutPassword(Job& job, ReaderRecord& reader);

// Revisions 5 and 6, with the file key in FileKey: false when /Perms seals
// permissions other than /P (altered after the file was protected). A
// /Perms that holds no seal, or seals another metadata flag, is a writer's
// slip: /P holds and /Perms is sealed anew for the page files. A revision 5
// dictionary without /Perms agrees.
bool SettlePermissions(SecurityState& security);

// Unsupported: the password is right but /Perms shows the permissions were
// altered after the file was protected. UserPasswordOnly: the user password
// of a file whose permissions forbid splitting (a wrong one for splitting).
enum class Verdict { Right, Wrong, UserPasswordOnly, Unsupported };

// A password opens the file for splitting as the user password (when the
// permissions allow splitting) or as the owner password (the owner's rights
// apply, also where it is the user password too). Right leaves the file key in reader.security.FileKey.
Verdict JudgePassword(ReaderRecord& reader, const std::string& password);

}  // namespace brisel
