#pragma once
// The sample level's mesh objects: textured, lit crates and columns standing
// in every room, a waving flag playing its vertex animation, a tower in the
// last room whose detail a Lod switches by distance, and the Matrix
// Animation that carries the camera through the rooms (level.cameraRig).

#include "tools/sampledata/SampleLevel.h"

// Textures, materials and meshes (library ids 1000 to 1199) and their files.
void SampleObject_AddItems(SampleLevel& level);
// The objects in the rooms, the Lod and the camera rig; sets level.cameraRig.
void SampleObject_AddActors(SampleLevel& level);
