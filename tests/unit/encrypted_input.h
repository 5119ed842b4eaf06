// Encrypted inputs for the security tests: a small document encrypted by
// qpdf at test time, and a host that answers the password prompt from a
// script and records the messages it is shown.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "base/block.h"
#include "base/job.h"
#include "base/job_host.h"
#include "pdfread/reader_record.h"

namespace brisel::test {

// A two-page document with a content stream per page, strings in the
// pages and an information dictionary.
std::string PlainDocument();

// Runs a shell command; true when it exits 0.
bool Run(const std::string& command);

// A fresh folder for one test's files, removed with the object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Encrypts PlainDocument with `qpdf --encrypt user owner <qpdfArgs>`
// (qpdfArgs: the key length and options, without the closing "--").
// Classic layout, or object streams and a cross-reference stream; streams
// left uncompressed. Empty block when qpdf fails.
Block EncryptWithQpdf(const TempFolder& folder, const std::string& user, const std::string& owner,
                      const std::string& qpdfArgs, bool objectStreams = false);

bool WriteFile(const std::string& path, const Block& bytes);

// Every kind of encryption the program opens, as qpdf arguments.
struct EncryptionCase {
    const char* name;
    const char* args;
};
inline constexpr EncryptionCase kEncryptionCases[] = {
    {"R2 RC4 40", "40"},
    {"R3 RC4 128", "128 --use-aes=n"},
    {"R4 RC4", "128 --use-aes=n --force-V4"},
    {"R4 AES", "128 --use-aes=y"},
    {"R4 AES clear metadata", "128 --use-aes=y --cleartext-metadata"},
    {"R5 AES-256", "256 --force-R5"},
    {"R6 AES-256", "256"},
    {"R6 AES-256 clear metadata", "256 --cleartext-metadata"},
};

class ScriptedHost : public SilentHost {
public:
    bool AskPassword(Job&, std::string& password) override {
        ++asked;
        if (answers.empty()) return false;
        password = answers.front();
        answers.pop_front();
        return true;
    }
    void ShowMessage(Job&, MessageIcon, const std::string& text) override { messages.push_back(text); }

    std::deque<std::string> answers;
    int asked = 0;
    std::vector<std::string> messages;
};

struct ScriptedJob {
    AppState app;
    ScriptedHost host;
    Job job{app, host};
    ReaderRecord reader;
};

}  // namespace brisel::test
