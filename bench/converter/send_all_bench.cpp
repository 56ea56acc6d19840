// Time for one send-all (fifteen messages built and handed over) through a
// sender that only records. The MIDI wire itself needs 52.8 ms for the same
// 165 bytes, so anything in microseconds is invisible to the player.

#include "converter/parameter_set.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstring>

namespace {

using namespace zr70;

void BM_SendAll(benchmark::State& state) {
    const ParameterSet selections = ParameterSet::defaults();
    std::array<MessageBytes, 15> last{};
    std::size_t count = 0;
    for (auto _ : state) {
        for (const MessageBytes& message : sendAllMessages(selections)) {
            std::memcpy(last[count % 15].data(), message.data(), message.size());
            ++count;
        }
        benchmark::ClobberMemory();
    }
    state.SetLabel("one send-all = 15 messages");
}
BENCHMARK(BM_SendAll);

} // namespace
