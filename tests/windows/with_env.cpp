// Runs a program with environment variables set: with_env.exe NAME=VALUE... -- PROGRAM [ARGS...]
// With --detached first, the program starts as a shortcut or Explorer starts it: without a
// console and without standard handles.
//
// Wine hands no QT_* variable of the Unix environment to Windows programs, so the tests' Qt
// settings (QT_QPA_PLATFORM=offscreen) reach them through this, which CTest runs under Wine
// before each test program. The program gets this one's standard handles; its exit code is
// this one's.

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

// One argument as the C runtime's command-line parser reads it back unchanged.
std::wstring Quoted(const std::wstring &argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\'); // before the closing quote
    quoted.push_back(L'"');
    return quoted;
}

} // namespace

int main() {
    int count = 0;
    wchar_t **arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr)
        return 127;
    const bool detached = count > 1 && std::wstring(arguments[1]) == L"--detached";
    int i = detached ? 2 : 1;
    for (; i < count && std::wstring(arguments[i]) != L"--"; ++i) {
        const std::wstring setting = arguments[i];
        const std::size_t equals = setting.find(L'=');
        if (equals == std::wstring::npos || equals == 0) {
            std::fwprintf(stderr, L"with_env: not NAME=VALUE: %ls\n", setting.c_str());
            return 127;
        }
        SetEnvironmentVariableW(setting.substr(0, equals).c_str(),
                                setting.substr(equals + 1).c_str());
    }
    if (i + 1 >= count) {
        std::fwprintf(stderr, L"usage: with_env [--detached] NAME=VALUE... -- PROGRAM [ARGS...]\n");
        return 127;
    }
    std::wstring command = Quoted(arguments[i + 1]);
    for (int k = i + 2; k < count; ++k)
        command += L' ' + Quoted(arguments[k]);
    LocalFree(arguments);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    if (!detached) {
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, !detached,
                        detached ? DETACHED_PROCESS : 0, nullptr, nullptr, &startup, &process)) {
        std::fwprintf(stderr, L"with_env: cannot start %ls (error %lu)\n", command.c_str(),
                      GetLastError());
        return 127;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 127;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
