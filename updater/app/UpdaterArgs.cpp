#include "UpdaterArgs.h"
#include "CmdLineParser.h"
#include <stdlib.h>

namespace {
uint32_t ToNetbarId(const wchar_t* value)
{
    return value ? static_cast<uint32_t>(wcstoul(value, nullptr, 10)) : 0;
}
}  // namespace

void ReadUpdaterArguments(const wchar_t* commandLine, uint32_t& netbarId, bool& force)
{
    CCmdLineParser parser(commandLine, false);
    if (parser.HasKey(L"c")) {
        netbarId = ToNetbarId(parser.GetValue(L"c"));
        force = true;
    }
    if (parser.HasKey(L"u"))
        netbarId = ToNetbarId(parser.GetValue(L"u"));
}
