// Names and texts of the wire records, and the least payload of each packet type.
#include "packet.hpp"

const char* error_code_msg(ErrorCode code) {
  switch (code) {
    case ErrorCode_Ok: return "Ok";
    case ErrorCode_LoginNotFound: return "Login Not Found";
    case ErrorCode_LoginAlreadyExists: return "Login Already Exists";
    case ErrorCode_LoginTooShort: return "Login is too Short";
    case ErrorCode_PasswordTooSimple: return "Password must be Longer";
    case ErrorCode_NameAlreadyExists: return "Name Already Exists";
    case ErrorCode_CannotBeEmpty: return "Cannot Be Empty";
    case ErrorCode_NoSpace: return "No Space";
    case ErrorCode_Cooldown: return "Cooldown";
    case ErrorCode_NoMana: return "Not Enough Mana";
    case ErrorCode_AlreadyInUse: return "Already in Use";
    case ErrorCode_CannotDoThat: return "Cannot Do That";
    case ErrorCode_BadRequest: return "Bad Request";
    case ErrorCode_Forbidden: return "Forbidden";
    case ErrorCode_NotFound: return "Not Found";
    case ErrorCode_RequestTimeout: return "Request Timeout";
    case ErrorCode_Conflict: return "Conflict";
    case ErrorCode_Gone: return "Disconnected from the Server";
    case ErrorCode_VersionMismatch: return "Version Mismatch";
    case ErrorCode_InternalServerError: return "Internal Server Error";
    case ErrorCode_ServiceUnavailable: return "Server is Unavailable";
    case ErrorCode_ServerBusy: return "Server is Busy";
  }
  return "???";
}

static const char* const request_type_names[RequestType_count] = {
    "None",
    "Heartbeat",
    "Login",
    "Register",
    "CreatePlayer",
    "Enter",
    "StartStateUpdates",
    "Quit",
    "Disconnect",
    "SetDst",
    "SetDir",
    "Spell",
    "RunAction",
    "LiftEntity",
    "MoveEntity",
    "PlaceEntity",
    "Craft",
    "BuildPlace",
    "BuildAdd",
    "Build",
    "BlueprintAdd",
    "BlueprintPlace",
    "BlueprintSave",
    "BlueprintClear",
    "Chat",
    "TogglePause",
    "AddEntity",
    "GenerateTiles",
    "GenerateEntities",
    "RequestUpdates",
    "SetBiom",
    "Teleport",
    "Kill",
    "MindControl",
    "ToggleInvisible",
    "SetTime",
};

const char* request_type_name(RequestType type) {
  if ((u32)type >= (u32)RequestType_count) return "???";
  return request_type_names[type];
}

static const char* const packet_type_names[PacketType_count] = {
    "none", "error", "lobby", "world", "state", "location", "map", "chat",
};

const char* packet_type_name(PacketType type) {
  if ((u32)type >= (u32)PacketType_count) return "???";
  return packet_type_names[type];
}

int packet_min_payload(PacketType type) {
  switch (type) {
    case PacketType_Error: return (int)sizeof(SharedError);
    case PacketType_Lobby: return (int)sizeof(Lobby);
    case PacketType_World: return 0;
    // A zlib stream is at least a 2-byte header and a 4-byte checksum.
    case PacketType_State: return (int)sizeof(PacketStateHeader) + 6;
    case PacketType_Location: return LOCATION_HEADER_SIZE;
    case PacketType_LocationMap: return 1;
    case PacketType_ChatMessage: return (int)sizeof(ChatMessage);
    default: return 0;
  }
}
