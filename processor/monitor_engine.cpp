#include "processor/monitor_engine.h"

#include "engine/fileio.h"
#include "engine/state.h"
#include "platform/error.h"

namespace zel::processor {

// Interim: the engine facade is not in the tree yet. The window's engine object is stood in by
// the program-wide state; FILE0 is read through the open-file list.

void MonitorEngine::LoadCatalogSettings() {}

std::string MonitorEngine::CatalogServer() {
    auto& state = engine::Engine();
    return state.EpcInfo ? state.EpcInfo->Server : std::string();
}

bool MonitorEngine::Create() {
    created_ = true;
    return true;
}

std::string MonitorEngine::BlockReadFile(const std::string& file, std::int32_t block, bool) {
    if (!created_)
        throw platform::RuntimeError(91, "BlockReadFile",
                                     "Object variable or With block variable not set");
    if (!engine::Engine().SystemInfo) return std::string(512, ' ');
    std::string name = file;
    auto open = engine::OpenFile(name);
    return engine::BlockReadFile(open.get(), block);
}

void MonitorEngine::Release() {
    created_ = false;
    engine::Engine().SystemInfo.reset();
}

}  // namespace zel::processor
