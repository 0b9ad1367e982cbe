#pragma once
// Motions: the library's motion items (kind 6), a list of key-frame tracks
// read from a ".mot" file or stored inline in the library, with the distance
// the motion carries the character. Every motion runs at 30 frames per
// second.

#include "services/mesh/KeyTrack.h"

#include <cstdint>
#include <string>
#include <string_view>

class CQVArchive;
class CQVMotionItem;

constexpr uint32_t kMotionItemKind = 6;
constexpr float kMotionFrameRate = 30.0f;

// Reads a ".mot" file from an open archive: the two triples, then each
// track appended to the list and counted. 1, or 0 with the engine error
// text set when a track cannot be read; tracks read before it stay.
int Motion_ReadFile(CQVArchive* archive, MotionTracks* tracks, uint32_t* trackCount, Vector3* firstTriple,
                    Vector3* rootDisplacement);

// A motion named with 'B', 'L', '_' at positions 6 to 8 is laid out
// relative to a companion: the same name with 'K' at position 7, cut at the
// first '_' from position 9 on. False when the name asks for none.
bool Motion_GetCompanionName(std::string_view name, std::string* companion);

// Takes the companion's first keys out of the tracks of the same bones:
// positions less its first position, rotations less its first rotation.
// Tracks are matched in order, as both lists name their bones alike.
void Motion_Rebase(const MotionTracks& tracks, const MotionTracks& companion);

// The accessors load the motion when it is not loaded yet, unless said otherwise.
// The length of the first track; 0 for null or a motion without tracks.
float Motion_GetLength(CQVMotionItem* motion);
// Root displacement per unit of length; zero without tracks or with length
// 0. Does not load; a null motion leaves out unchanged.
void Motion_GetVelocity(CQVMotionItem* motion, Vector3* out);
float Motion_GetFrameRate(CQVMotionItem* motion);
uint32_t Motion_GetTrackCount(CQVMotionItem* motion);
// One pointer per track, in list order, into the caller's array of
// Motion_GetTrackCount entries.
void Motion_GetTracks(CQVMotionItem* motion, KeyTrack** out);
// The first track of that bone name (byte comparison), else null.
KeyTrack* Motion_FindTrack(CQVMotionItem* motion, const char* bone);
