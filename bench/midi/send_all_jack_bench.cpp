// Time for the fifteen hand-overs of one send-all, and for the flush that sees
// them leave, through the MIDI output port and the system's host to a real JACK
// receiver (a dummy-mode server and
// jack_midi_dump, both started here). The wire needs 52.8 ms for the same
// 165 bytes; the hand-overs should stay far below a millisecond.

#include "converter/parameter_set.h"
#include "midi/midi_output_port.h"
#include "midi/system_midi_host.h"
#include "midi/test_server.h"
#include "support/fakes.h"
#include "support/shell_fakes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using namespace zr70;

void BM_SendAllToJackReceiver(benchmark::State& state) {
    const std::string missing = testing::TestServer::missingTools();
    if (!missing.empty()) {
        state.SkipWithError(missing.c_str());
        return;
    }
    testing::TestServer jack;
    const std::string dump = jack.path("dump.txt");
    if (!jack.startServer() || !jack.startReceiver("dump", dump)) {
        state.SkipWithError("the dummy JACK server or its receiver did not come up");
        return;
    }
    {
        SystemMidiHost host;
        MidiOutputPort port(host);
        const std::vector<std::string>& names = port.list().names;
        const auto found = std::find(names.begin(), names.end(), "JACK: dump:input");
        const int receiver = found == names.end() ? -1 : static_cast<int>(found - names.begin());
        if (receiver < 0 || !port.startOn(receiver).ok()) {
            state.SkipWithError("the receiver's port did not open");
            return;
        }
        const ParameterSet selections = ParameterSet::defaults();
        int refused = 0;

        std::int64_t sendAlls = 0;
        double flushSeconds = 0;
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            for (const MessageBytes& message : sendAllMessages(selections)) {
                refused += host.send(message).ok() ? 0 : 1;
            }
            const auto end = std::chrono::steady_clock::now();
            state.SetIterationTime(std::chrono::duration<double>(end - start).count());
            refused += host.flush().result.ok() ? 0 : 1;
            flushSeconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - end).count();
            ++sendAlls;
            // Let JACK carry the messages off (a period is 5.3 ms) before the
            // next send-all, as a user's picks are far apart too.
            std::this_thread::sleep_for(std::chrono::milliseconds(12));
        }
        port.shutDown();

        const auto expected = static_cast<std::size_t>(sendAlls * 15);
        testing::waitFor([&] { return testing::readDump(dump).size() >= expected; },
                         std::chrono::seconds(5));
        state.counters["delivered"] = static_cast<double>(testing::readDump(dump).size());
        state.counters["handed_over"] = static_cast<double>(expected);
        state.counters["flush_ms"] = flushSeconds * 1000 / static_cast<double>(sendAlls);
        if (refused != 0) {
            state.SkipWithError("a message was refused");
        }
    }
    state.SetLabel(
        "one send-all = 15 messages -> JACK -> jack_midi_dump; flush_ms: until they left");
}
BENCHMARK(BM_SendAllToJackReceiver)
    ->UseManualTime()
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
