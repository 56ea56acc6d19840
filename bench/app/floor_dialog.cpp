// The least a Qt panel on RtMidi can do at start: open one JACK output by the
// name of its destination, send fifteen 11-byte data-set messages, then show
// a plain dialog. The start-up benchmark holds the panel against it.
//
//   floor_dialog DESTINATION     for example "dump:input"

#include <rtmidi/RtMidi.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

#include <array>
#include <cstdio>
#include <string>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const std::string destination = argc > 1 ? argv[1] : "dump:input";

    RtMidiOut midi(RtMidi::UNIX_JACK, "floor");
    bool opened = false;
    for (unsigned int port = 0; port < midi.getPortCount(); ++port) {
        if (midi.getPortName(port) == destination) {
            midi.openPort(port, "out");
            opened = true;
            break;
        }
    }
    if (!opened) {
        std::fprintf(stderr, "floor_dialog: no JACK port %s\n", destination.c_str());
        return 1;
    }
    for (unsigned char index = 0; index < 15; ++index) {
        std::array<unsigned char, 11> message{0xF0, 0x41,  0x10, 0x70, 0x12, 0x00,
                                              0x00, index, 0x00, 0x00, 0xF7};
        message[9] = static_cast<unsigned char>((0x80 - index) & 0x7F);
        midi.sendMessage(message.data(), message.size());
    }

    QDialog dialog;
    dialog.setWindowTitle("Floor dialog");
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("One JACK output, fifteen messages, one dialog."));
    dialog.exec();
    midi.closePort();
    return 0;
}
