// Room for the repair, asked before anything is copied or changed: the safety copy takes the
// database's size on its volume, the intermediate backup and the restored file about as much
// again each beside the database.
#pragma once

#include <string>

// Throws Exception naming the volume, the space needed and the space free when a volume
// involved lacks room. A volume whose free space the system cannot tell is not judged.
void EnsureRoomForRepair(const std::string& databaseFile, const std::string& safetyCopy);
