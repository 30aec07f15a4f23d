#pragma once
// The download transport pair: the curl worker and the scheduler that serve the download sources
// only (HTTP commands have their own). Created and destroyed by the engine's entry points.
class CCurlWorkshop;
class CHttpMgr;

bool CreateDownloadTransport();
bool DestroyDownloadTransport();
// Null when the pair does not exist.
CCurlWorkshop* DownloadWorkshop();
CHttpMgr* DownloadMgr();
