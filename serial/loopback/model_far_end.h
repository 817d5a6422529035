#pragma once
// The receiver simulator's device model as the far end of the in-process port.
#include "serial/loopback/loopback_port.h"
#include "simulator/model/device_model.h"

namespace serial {

class CModelFarEnd : public IFarEnd {
 public:
  explicit CModelFarEnd(sim::ModelOptions options) : m_model(std::move(options)) {}

  void FromPc(std::span<const std::uint8_t> bytes, std::uint32_t pcRate, std::uint64_t nowUs) override {
    m_model.ReceiveFromPc(bytes, pcRate, nowUs);
  }
  std::vector<std::vector<std::uint8_t>> ToPc(std::uint64_t nowUs, std::uint32_t pcRate) override {
    return m_model.TakeBytesForPc(nowUs, pcRate);
  }
  std::uint64_t NextEventUs() const override { return m_model.NextEventUs(); }

  sim::CDeviceModel& Model() { return m_model; }

 private:
  sim::CDeviceModel m_model;
};

}  // namespace serial
