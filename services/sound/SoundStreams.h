#pragma once
// The stream list and the streaming thread, as the sound layer's own files
// share them.

#include "services/sound/Sound.h"

// Puts the stream at the head of the list and counts it.
void Sound_ListStream(CQVStreamSoundBuffer* stream);
// Takes it out when listed (and uncounts it); clears its link in any case.
void Sound_UnlistStream(CQVStreamSoundBuffer* stream);
// Back to the start of the data with both halves filled again.
bool Sound_RewindStream(CQVStreamSoundBuffer* stream);
// Fills one half from the file up to the end of the data that streams,
// silence after it (or silence only).
bool Sound_FillHalf(CQVStreamSoundBuffer* stream, uint32_t half, bool silence);

// The thread wakes every 100 ms and refills the listed streams. Started once
// with the first device; stopped only when the process ends.
void Sound_StartStreamThread();
void Sound_StopStreamThread();
