// kxcheck: checks one POP3 mailbox from the command line and prints what the
// checker would see, one message per line.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "framework/MessageBox.h"

namespace {

const char kUsage[] =
    "usage: kxcheck --server HOST [--port N] --user USER --password PASS [--no-apop]\n"
    "               [--lines N] [--deletion auto|without|with|none] [--data DIR] [--log]\n";

}  // namespace

int main(int argc, char** argv) {
    setMessageBoxToConsole(true);
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    std::fputs(kUsage, stderr);
    return 2;
}
