// sharegen DESCRIPTION.json: writes the sample business share under $ZEL_UNC_ROOT/HOST and the
// catalog INI in $TMPDIR (else /tmp).
#include <cstring>
#include <exception>
#include <iostream>

#include "tools/sharegen/sharegen.h"

namespace {

constexpr const char* kUsage =
    "usage: sharegen DESCRIPTION.json\n"
    "Builds a business share from its JSON description (for example samples/share.json):\n"
    "the share's files under $ZEL_UNC_ROOT/HOST/QMRLINK and, when the description has a\n"
    "\"catalog\", the catalog INI QMRCatalog.ini in $TMPDIR (else /tmp). ZEL_UNC_ROOT must be\n"
    "set. The share gets no DadAri folder.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << kUsage;
        return 0;
    }
    // A wrong command line is told apart from a description that fails (exit 1).
    if (argc != 2 || argv[1][0] == '-') {
        if (argc == 2) std::cerr << "sharegen: unknown option " << argv[1] << "\n";
        std::cerr << kUsage;
        return 2;
    }
    try {
        auto result = zel::sharegen::BuildShareFromFile(argv[1]);
        std::cout << "share: " << result.shareRoot << "\n";
        if (!result.catalogIni.empty()) std::cout << "catalog: " << result.catalogIni << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "sharegen: " << e.what() << "\n";
        return 1;
    }
}
