#include "decode/parser.h"

#include <cstdio>
#include <ctime>

CParser::CParser()
{
    state_->Clear();
    state_->owner = this;
}

void CParser::LogChecksumError()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char line[32];
    std::snprintf(line, sizeof line, "[%02d%02d%02d] error", local.tm_hour, local.tm_min,
                  local.tm_sec);
    errorLog_.emplace_back(line);
    ++errorCount_;
    Diagnostic(line);
}

void CParser::Diagnostic(std::string_view line) const
{
    if (diagnostics_) diagnostics_(line);
}

void CParser::ClearErrors()
{
    errorLog_.clear();
    errorCount_ = 0;
}
