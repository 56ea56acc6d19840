// A receiver on the ALSA sequencer for the tests: a client named CLIENT
// ("dump" unless given) with one port, "input", that any client may write
// to. Each System Exclusive message it receives becomes one line on standard
// output, "   0: f0 41 ... f7", as jack_midi_dump prints it, written the
// moment the message is complete. It runs until it is ended by a signal.
//
//   zr70_alsa_dump [CLIENT]

#include <alsa/asoundlib.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    // A shell starts a program in the background with SIGINT ignored; this
    // one is to end on it, as jack_midi_dump does.
    std::signal(SIGINT, SIG_DFL);
    const char* name = argc > 1 ? argv[1] : "dump";
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, 0) < 0) {
        std::fprintf(stderr, "zr70_alsa_dump: the ALSA sequencer cannot be opened\n");
        return 1;
    }
    // Named before the port is made: whoever sees the port sees the name.
    if (snd_seq_set_client_name(seq, name) < 0 ||
        snd_seq_create_simple_port(
            seq, "input", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
            SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION) < 0) {
        std::fprintf(stderr, "zr70_alsa_dump: client %s:input cannot be made\n", name);
        return 1;
    }
    // A long message may come in several events; a line is printed once its
    // F7 has come.
    std::string line;
    for (;;) {
        snd_seq_event_t* event = nullptr;
        const int result = snd_seq_event_input(seq, &event);
        if (result == -ENOSPC) {
            std::fprintf(stderr, "zr70_alsa_dump: the sequencer dropped events\n");
            continue;
        }
        if (result < 0) {
            std::fprintf(stderr, "zr70_alsa_dump: %s\n", snd_strerror(result));
            return 1;
        }
        if (event->type != SND_SEQ_EVENT_SYSEX) {
            continue;
        }
        const auto* bytes = static_cast<const unsigned char*>(event->data.ext.ptr);
        for (unsigned int i = 0; i < event->data.ext.len; ++i) {
            if (bytes[i] == 0xf0) {
                line = "   0:";
            }
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02x", bytes[i]);
            line += hex;
            if (bytes[i] == 0xf7) {
                line += '\n';
                std::fputs(line.c_str(), stdout);
                std::fflush(stdout);
                line.clear();
            }
        }
    }
}
