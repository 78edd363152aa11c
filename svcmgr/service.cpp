#include "svcmgr/service.h"

TService::TService(TServiceRuntimeApi& api) : Api(api) {}

TService::~TService() = default;

void TService::AfterConstruction() {
  if (OnCreate) OnCreate(this);
}

void TService::BeforeDestruction() {
  if (OnDestroy) OnDestroy(this);
}

void TService::PumpControlRequests(bool) {}

bool TService::StopRequested() const { return false; }
void TService::PostControlRequest(uint32_t) {}
void TService::RunService(uint32_t, char**) {}
