/* A stand-in library build for the binding tests: it exports the entry points by name only
   (the binding tests never call them, except QLIB_DisconnectAllServers, which it counts).
   Compile definitions leave out single functions to make incomplete builds. */

int stubDisconnectAllCount = 0;

#ifndef STUB_WITHOUT_SET_LIBRARY_MODE
void QLIB_SetLibraryMode(void) {}
#endif
void QLIB_ConnectServer(void) {}
void QLIB_ConnectServerWithWait(void) {}
void QLIB_DisconnectServer(void) {}
void QLIB_GetAvailablePhonesPortList(void) {}
void QLIB_ConfigureLibraryTextLogCallBack(void) {}
void QLIB_IsPhoneConnected(void) {}
void QLIB_SetTargetType(void) {}
void QLIB_ConfigureCallBacks(void) {}
void QLIB_ExtendedTextMessage_SetCategoryEnable(void) {}
void QLIB_SetLogFlags(void) {}
void QLIB_QPHONEMS_DownloadUserPartitions(void) {}
void QLIB_GetLastSoftwareDownloadErrorInfo(void) {}
void QLIB_QPHONEMS_DLoad_SendNop(void) {}
void QLIB_QPHONEMS_DLoad_Reset(void) {}
void QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation(void) {}
void QLIB_QPHONEMS_SwitchToDownloadMode(void) {}
void QLIB_QPHONEMS_SwitchToEDL(void) {}
void QLIB_QPHONEMS_ConnectServer_Sahara(void) {}
void QLIB_QPHONEMS_Sahara_SetImageTransferMode(void) {}
void QLIB_QPHONEMS_Sahara_FlashProgrammer(void) {}
void QLIB_DisconnectServer_Sahara(void) {}
void QLIB_QPHONEMS_UploadSBMultiImage_ConfigureCallBack(void) {}
void QLIB_StartLogging(void) {}
void QLIB_StopLogging(void) {}
void QLIB_DownloadQcnFile_V2(void) {}
void QLIB_UploadQcnFile_V2(void) {}
void QLIB_DownloadQcnFile(void) {}
void QLIB_UploadQcnFile(void) {}
void QLIB_DIAG_SPC_F(void) {}
void QLIB_NV_LoadNVsFromQCN(void) {}
void QLIB_BackupNVFromMobileToQCN(void) {}
void QLIB_NV_WriteNVsToMobile(void) {}
void QLIB_DIAG_NV_WRITE_F(void) {}
void QLIB_DIAG_NV_READ_F(void) {}
void QLIB_DisconnectAllServers(void) { ++stubDisconnectAllCount; }
void QLIB_QPHONEMS_SaharaConfigureCallback(void) {}
void QLIB_QPHONEMS_ConnectServer_FireHose(void) {}
void QLIB_QPHONEMS_FireHoseConfigureCallback(void) {}
void QLIB_QPHONEMS_FireHoseNOP(void) {}
void QLIB_QPHONEMS_FireHoseConfigure(void) {}
void QLIB_QPHONEMS_UploadEmmcImage_FireHose(void) {}
void QLIB_DisconnectServer_FireHose(void) {}
#ifndef STUB_WITHOUT_FIREHOSE_ERASE
void QLIB_QPHONEMS_FireHoseErase(void) {}
#endif
void QLIB_GetLibraryCapabilities(void) {}
void QLIB_FlushRxBuffer(void) {}
void QLIB_GetLibraryVersion(void) {}
void QLIB_GetQpstPhoneStatus(void) {}
void QLIB_DIAG_VERNO_F(void) {}
void QLIB_DIAG_EXT_BUILD_ID_F(void) {}
void QLIB_FTM_GET_COMMAND_CODE(void) {}
void QLIB_GetPhoneOperatingMode(void) {}
void QLIB_GetPhoneCallState(void) {}
void QLIB_QPHONEMS_UploadSB2MultiImage(void) {}
void QLIB_ConfigureTimeOut(void) {}
void QLIB_UploadSB2MultiImage(void) {}
void QLIB_DIAG_CONTROL_F(void) {}
void QLIB_ConnectServerWithHandShake(void) {}
void QLIB_NV_SetTargetSupportMultiSIM(void) {}
void QLIB_NV_LoadNVDefinitionFile(void) {}
void QLIB_NV_ClearNVValues(void) {}
void QLIB_DownloadCEFS_File(void) {}
void QLIB_TerminateQPSTServer(void) {}
