#include "TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

// A fault must fail the run. Left to the system, Wine's automatic debugger
// prints a backtrace and ends the crashed process with exit code 0, which
// would count as passed.
LONG WINAPI EndOnFault(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    std::fprintf(stderr, "test program: unhandled exception 0x%08lX at %p\n",
                 static_cast<unsigned long>(record.ExceptionCode), record.ExceptionAddress);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    SetUnhandledExceptionFilter(&EndOnFault);
    // A helper mode: another process that holds a file open (see HeldFile).
    if (argc == 3 && std::strcmp(argv[1], "--hold-file") == 0) {
        return vgwl::test::HoldFileOpen(argv[2]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
