#include "midi/alsa_watch.h"

#include <cerrno>

namespace zr70 {

AlsaWatch::~AlsaWatch() {
    if (info_ != nullptr) {
        snd_seq_port_info_free(info_);
    }
    if (seq_ != nullptr) {
        snd_seq_close(seq_);
    }
}

bool AlsaWatch::gone(AlsaAddress address) {
    if (!started_) {
        started_ = true;
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) {
            seq_ = nullptr;
        } else if (snd_seq_port_info_malloc(&info_) < 0) {
            info_ = nullptr;
        }
    }
    if (seq_ == nullptr || info_ == nullptr) {
        return false;
    }
    const int result = snd_seq_get_any_port_info(seq_, address.client, address.port, info_);
    // ENXIO: the client has gone; ENOENT: it is there, but not the port.
    return result == -ENXIO || result == -ENOENT;
}

} // namespace zr70
