#include "base/failure_reasons.h"

namespace brisel {

std::string ReasonIn(Language language, const ReasonText& reason) {
    return language == Language::Japanese ? reason.japanese : reason.english;
}

std::string CodeAsReason(Language language, int32_t code) {
    return (language == Language::Japanese ? "コード " : "code ") + std::to_string(code);
}

}  // namespace brisel
