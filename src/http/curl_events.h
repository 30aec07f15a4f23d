#pragma once
// The events of a transfer, carried from the curl worker to the UI thread. Each posted task holds a
// reference to the transfer and calls its listener if that still exists.
#include <cstdint>

#include "commonlib/core/proto_value.h"
#include "http/curl_base.h"

void PostCurlDone(const CRefPtr<CCurlBase>& transfer, int curlCode);
void PostCurlCancel(const CRefPtr<CCurlBase>& transfer);
void PostCurlStart(const CRefPtr<CCurlBase>& transfer);
void PostCurlRecvProgress(const CRefPtr<CCurlBase>& transfer, uint32_t bytes);
void PostCurlSendProgress(const CRefPtr<CCurlBase>& transfer, uint32_t bytes);
void PostCurlHeader(const CRefPtr<CCurlBase>& transfer, int httpCode, const ProtoValue& headers);
