// Control ids of the PHY settings dialog (template 140) and of the two PHY
// tuning dialogs (templates 142 and 143), in a range of their own (3400-3699).
//
// The resource script includes this header, and the in-memory dialogs read it
// as text after ui/win32/resource.h, so every id is a plain "#define NAME number".
#pragma once

// --- PHY settings dialog ---------------------------------------------------
#define IDC_PHY_USB2 3400
#define IDC_PHY_USB3 3401
#define IDC_PHY_READ 3402
#define IDC_PHY_WRITE 3403
#define IDC_PHY_STATUS 3404
// The thirteen labels and fields, in table order.
#define IDC_PHY_LABEL1 3410
#define IDC_PHY_LABEL2 3411
#define IDC_PHY_LABEL3 3412
#define IDC_PHY_LABEL4 3413
#define IDC_PHY_LABEL5 3414
#define IDC_PHY_LABEL6 3415
#define IDC_PHY_LABEL7 3416
#define IDC_PHY_LABEL8 3417
#define IDC_PHY_LABEL9 3418
#define IDC_PHY_LABEL10 3419
#define IDC_PHY_LABEL11 3420
#define IDC_PHY_LABEL12 3421
#define IDC_PHY_LABEL13 3422
#define IDC_PHY_FIELD1 3430
#define IDC_PHY_FIELD2 3431
#define IDC_PHY_FIELD3 3432
#define IDC_PHY_FIELD4 3433
#define IDC_PHY_FIELD5 3434
#define IDC_PHY_FIELD6 3435
#define IDC_PHY_FIELD7 3436
#define IDC_PHY_FIELD8 3437
#define IDC_PHY_FIELD9 3438
#define IDC_PHY_FIELD10 3439
#define IDC_PHY_FIELD11 3440
#define IDC_PHY_FIELD12 3441
#define IDC_PHY_FIELD13 3442

// --- PHY tuning dialogs (both forms share the ids of the controls they share)
#define IDC_TUNE_PORT 3500
#define IDC_TUNE_REFLASH 3501
#define IDC_TUNE_SAVE 3502
#define IDC_TUNE_STATUS 3503
// Fields, check boxes and lists.
#define IDC_TUNE_EQR 3510
#define IDC_TUNE_RCAL 3511
#define IDC_TUNE_OFD0 3512
#define IDC_TUNE_BIST 3513
#define IDC_TUNE_RSW 3514
#define IDC_TUNE_VVCOCDR 3515
#define IDC_TUNE_SW 3516
#define IDC_TUNE_ICPCDR 3517
#define IDC_TUNE_REXT 3518
#define IDC_TUNE_LFTH 3519
#define IDC_TUNE_RRT 3520
#define IDC_TUNE_SCDR 3521
#define IDC_TUNE_EQM 3522
#define IDC_TUNE_EQRM 3523
#define IDC_TUNE_FSTEP 3524
#define IDC_TUNE_FMIN 3525
#define IDC_TUNE_FMAX 3526
#define IDC_TUNE_VVCO 3527
#define IDC_TUNE_ICP 3528
#define IDC_TUNE_FORCE_DEM 3529
#define IDC_TUNE_DEM_VALUE 3530
#define IDC_TUNE_FORCE_CP 3531
#define IDC_TUNE_CP_VALUE 3532
#define IDC_TUNE_SSC 3533
#define IDC_TUNE_SELPORT 3534
// Group boxes; the per-port ones show the register's full address.
#define IDC_TUNE_GROUP_EQR 3560
#define IDC_TUNE_GROUP_RCAL 3561
#define IDC_TUNE_GROUP_OFD0 3562
#define IDC_TUNE_GROUP_C2 3563
#define IDC_TUNE_GROUP_C3 3564
#define IDC_TUNE_GROUP_C4 3565
#define IDC_TUNE_GROUP_C6 3566
#define IDC_TUNE_GROUP_C7 3567
#define IDC_TUNE_GROUP_C8 3568
#define IDC_TUNE_GROUP_C9 3569
#define IDC_TUNE_GROUP_CA 3570
#define IDC_TUNE_GROUP_DD 3571
