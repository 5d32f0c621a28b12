// sharegen DESCRIPTION.json: writes the sample business share under $ZEL_UNC_ROOT/HOST and the
// catalog INI in $TMPDIR (else /tmp).
#include <exception>
#include <iostream>

#include "tools/sharegen/sharegen.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: sharegen DESCRIPTION.json   (ZEL_UNC_ROOT must be set)\n";
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
