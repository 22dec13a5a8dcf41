#pragma once
// Ids of this program's own texts (rows from kProjectMessageBase up in
// core/messages.tsv), named where they are used.
#include "messages.h"

constexpr int kMsgExportFailed = kProjectMessageBase + 0;
constexpr int kMsgHostNameRefused = kProjectMessageBase + 1;
constexpr int kMsgNetworkFilesNotWritten = kProjectMessageBase + 2;
constexpr int kMsgWifiRefused = kProjectMessageBase + 3;
constexpr int kMsgServerNotSaved = kProjectMessageBase + 4;
constexpr int kMsgGroupNameRefused = kProjectMessageBase + 5;
constexpr int kMsgDefaultGroupProtected = kProjectMessageBase + 6;
constexpr int kMsgGroupNotRestored = kProjectMessageBase + 7;
constexpr int kMsgUpdateRefused = kProjectMessageBase + 8;
constexpr int kMsgClockNotSet = kProjectMessageBase + 9;
constexpr int kMsgCameraOrderNotSaved = kProjectMessageBase + 10;
constexpr int kMsgGroupNotSaved = kProjectMessageBase + 11;
constexpr int kMsgGroupNotDeleted = kProjectMessageBase + 12;
