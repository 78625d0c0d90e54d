#pragma once
// The platform's file-list operations as the station runs them on the file panel's table: each
// shows the table as it then reads. And the folder text of the main panel.

#include <string>

// Calls the current platform table's load / save / auto-load on gFileTable. -1 when no
// platform table exists.
int loadFileList();
int saveFileList();
int autoLoadFileList(const std::string& folder);

// Start is dimmed after a failed load (negative result) and enabled after a good one.
void enableStartForLoad(int loadResult);

// The name of the firmware folder: the text after the last "/" of the path (the whole text
// when it has none).
std::string folderNameOf(const std::string& path);

// Shows the folder name of the table's row 1 in the main panel's folder text.
void refreshFolderText();
