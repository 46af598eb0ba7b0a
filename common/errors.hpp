#pragma once
// Error codes the server reports, and the texts the screens show for them.
#include "types.hpp"

enum ErrorCode : u32 {
  ErrorCode_Ok = 0,
  ErrorCode_LoginNotFound = 10,
  ErrorCode_LoginAlreadyExists = 11,
  ErrorCode_LoginTooShort = 12,
  ErrorCode_PasswordTooSimple = 13,
  ErrorCode_NameAlreadyExists = 14,
  ErrorCode_CannotBeEmpty = 15,
  ErrorCode_NoSpace = 16,
  ErrorCode_Cooldown = 17,
  ErrorCode_NoMana = 18,
  ErrorCode_AlreadyInUse = 19,
  ErrorCode_CannotDoThat = 20,
  ErrorCode_BadRequest = 400,
  ErrorCode_Forbidden = 403,
  ErrorCode_NotFound = 404,
  ErrorCode_RequestTimeout = 408,
  ErrorCode_Conflict = 409,
  ErrorCode_Gone = 410,
  ErrorCode_VersionMismatch = 464,
  ErrorCode_InternalServerError = 500,
  ErrorCode_ServiceUnavailable = 503,
  ErrorCode_ServerBusy = 529,
};
static_assert(sizeof(ErrorCode) == 4);

// The payload of an error packet, and the client's last error.
struct SharedError {
  ErrorCode code = ErrorCode_Ok;
};
static_assert(sizeof(SharedError) == 4);

// "???" for a code that is not in the table: the value comes from the network.
const char* error_code_msg(ErrorCode code);
