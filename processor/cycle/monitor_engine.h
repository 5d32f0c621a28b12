#pragma once
// The monitor window's few uses of the business-file engine, in one place: the start-up of the
// program-wide engine objects, the window's own engine object, and the FILE0 blocks read when
// monitoring starts.
#include <cstdint>
#include <memory>
#include <string>

namespace zel::engine {
class cBusinessBasic;
}

namespace zel::processor {

class MonitorEngine {
public:
    // Catalog settings, system paths and the program-wide engine object (shows the engine's own
    // message boxes when the catalog INI or the share is missing).
    static void LoadCatalogSettings();
    // The server name of the catalog settings, "" when none was read.
    static std::string CatalogServer();

    // Creates the window's own engine object; false when it could not be created.
    bool Create();
    // Both the program-wide engine object and the window's own one are there.
    bool Ready() const;
    // Creates whichever of the two is missing, the program-wide one first as the start-up
    // does; true when both are there afterwards.
    bool CreateMissing();
    // The business share the engine objects connect to answers (asked without a box).
    static bool ShareAnswers();
    // BlockReadFile(file, block, orb) through the window's own engine object. Raises error 91
    // when the object was never created.
    std::string BlockReadFile(const std::string& file, std::int32_t block, bool orb);
    // Releases the window's own engine object and the program-wide system paths.
    void Release();

private:
    std::shared_ptr<engine::cBusinessBasic> engine_;
};

}  // namespace zel::processor
