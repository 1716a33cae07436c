namespace orv::emulator {}
