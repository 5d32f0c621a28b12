#include "processor/monitor_engine.h"

#include <exception>

#include "engine/catalog.h"
#include "engine/facade.h"
#include "engine/state.h"
#include "platform/error.h"

namespace zel::processor {

void MonitorEngine::LoadCatalogSettings() { engine::LoadCatalogSettings(); }

std::string MonitorEngine::CatalogServer() {
    auto& state = engine::Engine();
    return state.EpcInfo ? state.EpcInfo->Server : std::string();
}

bool MonitorEngine::Create() {
    try {
        engine_ = std::make_shared<engine::cBusinessBasic>();
    } catch (const std::exception&) {
        engine_.reset();
    }
    return engine_ != nullptr;
}

std::string MonitorEngine::BlockReadFile(const std::string& file, std::int32_t block, bool orb) {
    if (!engine_)
        platform::RaiseClassic(platform::err::kObjectNotSet, "BlockReadFile");
    return engine_->BlockReadFile(file, block, orb);
}

void MonitorEngine::Release() {
    engine_.reset();
    engine::Engine().SystemInfo.reset();
}

}  // namespace zel::processor
