// The program's use of the engine from two threads: the user-interface thread drives the
// playback stream while the envelope worker reads its own decoding stream.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "audio/audio.h"
#include "audio/tests/sound_files.h"

namespace {

using namespace audio;

}  // namespace
