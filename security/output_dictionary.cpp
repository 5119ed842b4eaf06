#include "security/output_dictionary.h"

#include <algorithm>

#include "security/object_crypt.h"
#include "security/recode_strings.h"

namespace brisel {

namespace {

const char* MethodText(int32_t method) {
    if (method == 1) return "/CFM /V2 ";
    if (method == 2) return "/CFM /AESV2 ";
    return "";
}

// Revisions 5 and 6: the input's dictionary again, with the wrapped keys and
// the sealed permissions, so that both passwords open the page file with the
// same file key and the same permissions.
void AppendAes256Dictionary(const SecurityState& s, std::string& out) {
    out += "/O (";
    AppendEscapedString(out, s.Owner, 48);
    out += ")\n/U (";
    AppendEscapedString(out, s.User, 48);
    out += ")\n/OE (";
    AppendEscapedString(out, s.OwnerKey, 32);
    out += ")\n/UE (";
    AppendEscapedString(out, s.UserKey, 32);
    out += ")\n";
    if (s.PermsLength == 16) {
        out += "/Perms (";
        AppendEscapedString(out, s.Perms, 16);
        out += ")\n";
    }
    out += "/P " + std::to_string(s.Permissions) + "\n/V 5\n/R " + std::to_string(s.R) + "\n/Length 256\n";
    out += "/CF <</StdCF << /AuthEvent /DocOpen /CFM /AESV3 /Length 32 >> >>\n";
    out += s.StringMethod == 3 ? "/StrF /StdCF\n" : "/StrF /Identity\n";
    out += s.StreamMethod == 3 ? "/StmF /StdCF\n" : "/StmF /Identity\n";
    if (s.EncryptMetadata == 0) out += "/EncryptMetadata false\n";
}

}  // namespace

void AppendEncryptDictionary(const SecurityState& s, int32_t number, std::string& out) {
    out += std::to_string(number) + " 0 obj\n<<\n/Filter /Standard\n";
    if (s.R >= 5) {
        AppendAes256Dictionary(s, out);
        out += ">>\nendobj\n";
        return;
    }
    out += "/O (";
    AppendEscapedString(out, s.Owner, 32);
    out += ")\n/U (";
    AppendEscapedString(out, s.User, 32);
    out += ")\n/P " + std::to_string(s.Permissions) + "\n/V " + std::to_string(s.V) + "\n/R " +
           std::to_string(s.R) + "\n";
    if (s.R == 4) {
        // The key lengths written are the ones the data was encrypted with.
        const std::string stringLength = std::to_string(StringCrypt(s).k);
        const std::string streamLength = std::to_string(StreamCrypt(s).k);
        if (s.StringMethod == s.StreamMethod) {
            out += "/CF <</StdCF << /AuthEvent /DocOpen ";
            out += MethodText(s.StringMethod);
            out += "/Length " + stringLength + " >> >>\n/StrF /StdCF\n/StmF /StdCF\n";
        } else {
            out += "/CF <</StdCF1 << /AuthEvent /DocOpen ";
            out += MethodText(s.StringMethod);
            out += "/Length " + stringLength + " >> /StdCF2 << /AuthEvent /DocOpen ";
            out += MethodText(s.StreamMethod);
            out += "/Length " + streamLength + " >> >>\n/StrF /StdCF1\n/StmF /StdCF2\n";
        }
        // The file key of such an input leaves the metadata out.
        if (s.EncryptMetadata == 0) out += "/EncryptMetadata false\n";
    }
    if (s.R >= 3 || s.KeyBytes != 5) out += "/Length " + std::to_string(s.KeyBytes * 8) + "\n";
    out += ">>\nendobj\n";
}

void AppendFileId(const ReaderRecord& reader, std::string& out) {
    const size_t length =
        static_cast<size_t>(std::clamp<int32_t>(reader.fileIdLength, 0, sizeof reader.fileId));
    std::string id;
    AppendHexString(id, reader.fileId, length);
    out += "/ID [" + id + id + "]\n";
}

}  // namespace brisel
