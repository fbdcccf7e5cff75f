// Numbers of the dialog templates, icons and controls.
#pragma once

inline constexpr int kDialogWarning = 139;
inline constexpr int kDialogAddressAdapter = 101;
inline constexpr int kDialogAddressHandset = 305;
inline constexpr int kDialogConfirmSingle = 103;
inline constexpr int kDialogConfirmTwoStage = 304;
inline constexpr int kDialogPassword = 104;
inline constexpr int kDialogConnecting = 105;
inline constexpr int kDialogWaiting = 114;
inline constexpr int kDialogUploading = 110;
inline constexpr int kDialogSuccess = 111;

inline constexpr int kIconAdapter = 106;
inline constexpr int kIconTelephone = 286;

// Control identifiers with one meaning in every dialog.
inline constexpr int kControlOk = 1;
inline constexpr int kControlCancel = 2;
inline constexpr int kControlProgress = 1010;
inline constexpr int kControlMainText = 1007;
