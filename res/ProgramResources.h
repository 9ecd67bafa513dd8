#pragma once
// Hands the program's dialog templates, strings and pictures to the platform layer.
// Call once before the first window is made; calling again is harmless.
void RegisterProgramResources();
