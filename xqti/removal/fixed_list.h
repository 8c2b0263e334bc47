// The product's own files and the GameGuard component's files, removed on every accepted run.
#pragma once

// The fixed removal list, ended by an empty text.
extern const char* const kFixedFiles[];

// Deletes every file of the fixed list in its order, then removes "GameGuard" when it is empty.
void DeleteFixedFiles();
