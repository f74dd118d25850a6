// Control ids of the configurations editor, shared by its full form
// (IDD_CONFIG_DIALOG) and its compact form (IDD_CONFIG_PAGE): a control that
// both forms carry has the same id in both, so the editor's code addresses
// either form alike.  The range 3000-3399 is the editor's own.
//
// Read as text by the in-memory dialogs too: only plain "#define NAME number"
// lines.
#pragma once

// --- hub identity --------------------------------------------------------------
#define IDC_CFG_GRP_HUBID 3000
#define IDC_CFG_LBL_VID 3001
#define IDC_CFG_VID 3002
#define IDC_CFG_LBL_HSPID 3003
#define IDC_CFG_HSPID 3004
#define IDC_CFG_LBL_SSPID 3005
#define IDC_CFG_SSPID 3006

// --- hub power -----------------------------------------------------------------
#define IDC_CFG_GRP_POWER 3010
#define IDC_CFG_LBL_HSPOWER 3011
#define IDC_CFG_HSPOWER 3012
#define IDC_CFG_UNIT_HSPOWER 3013
#define IDC_CFG_LBL_SSPOWER 3014
#define IDC_CFG_SSPOWER 3015
#define IDC_CFG_UNIT_SSPOWER 3016
#define IDC_CFG_LBL_PGOOD 3017
#define IDC_CFG_PGOOD 3018
#define IDC_CFG_UNIT_PGOOD 3019
#define IDC_CFG_POLYFUSE 3020

// --- hub strings ---------------------------------------------------------------
#define IDC_CFG_GRP_STRING 3030
#define IDC_CFG_LBL_VENDOR 3031
#define IDC_CFG_VENDOR 3032
#define IDC_CFG_LBL_HSPROD 3033
#define IDC_CFG_HSPROD 3034
#define IDC_CFG_LBL_SSPROD 3035
#define IDC_CFG_SSPROD 3036
#define IDC_CFG_LBL_SERIAL 3037
#define IDC_CFG_SERIAL 3038
#define IDC_CFG_SERIAL_EN 3039

// --- others --------------------------------------------------------------------
#define IDC_CFG_GRP_OTHERS 3050
#define IDC_CFG_PWRSW_HIGH 3051
#define IDC_CFG_SSC 3052
#define IDC_CFG_BUSPOWER 3053
#define IDC_CFG_RWU 3054
#define IDC_CFG_USB2LPM 3055
#define IDC_CFG_USB3LPM 3056
#define IDC_CFG_PORT_IND 3057
#define IDC_CFG_PWRSW_PORT3 3058

// --- port numbers ----------------------------------------------------------------
#define IDC_CFG_GRP_PORT2 3070
#define IDC_CFG_PORT2_1 3071
#define IDC_CFG_PORT2_2 3072
#define IDC_CFG_PORT2_3 3073
#define IDC_CFG_PORT2_4 3074
#define IDC_CFG_GRP_PORT3 3075
#define IDC_CFG_PORT3_1 3076
#define IDC_CFG_PORT3_2 3077
#define IDC_CFG_PORT3_3 3078
#define IDC_CFG_PORT3_4 3079
#define IDC_CFG_GRP_NONREM 3080
#define IDC_CFG_NONREM_1 3081
#define IDC_CFG_NONREM_2 3082
#define IDC_CFG_NONREM_3 3083
#define IDC_CFG_NONREM_4 3084

// --- charging --------------------------------------------------------------------
#define IDC_CFG_GRP_CHARGE 3090
#define IDC_CFG_CHARGE_1 3091
#define IDC_CFG_CHARGE_2 3092
#define IDC_CFG_CHARGE_3 3093
#define IDC_CFG_CHARGE_4 3094
#define IDC_CFG_GRP_FAST 3095
#define IDC_CFG_APPLE 3096
#define IDC_CFG_SMARTCDP 3097
#define IDC_CFG_DCP 3098
#define IDC_CFG_CDP 3099

// --- TX P/N swap -------------------------------------------------------------------
#define IDC_CFG_GRP_TX 3100
#define IDC_CFG_TX_UP 3101
#define IDC_CFG_TX_1 3102
#define IDC_CFG_TX_2 3103
#define IDC_CFG_TX_3 3104
#define IDC_CFG_TX_4 3105

// --- LED control -------------------------------------------------------------------
#define IDC_CFG_GRP_LED 3110
#define IDC_CFG_SEPLED 3111
#define IDC_CFG_LBL_BREATH 3112
#define IDC_CFG_BREATH 3113
#define IDC_CFG_LBL_BREATH2 3114
#define IDC_CFG_LBL_SUSPEND 3115
#define IDC_CFG_LED_OFF 3116
#define IDC_CFG_LED_BREATH 3117
#define IDC_CFG_LED_FLICKER 3118

// --- smart power -------------------------------------------------------------------
#define IDC_CFG_GRP_SMART 3130
#define IDC_CFG_SMART 3131
#define IDC_CFG_LBL_SELF 3132
#define IDC_CFG_SELF 3133
#define IDC_CFG_LBL_BUS 3134
#define IDC_CFG_BUS 3135
#define IDC_CFG_BUSPOWER_ONLY 3136

// --- special function ---------------------------------------------------------------
#define IDC_CFG_GRP_SPECIAL 3150
#define IDC_CFG_RENESAS 3151
#define IDC_CFG_GAND 3152
#define IDC_CFG_RESET 3153
#define IDC_CFG_DCPHS 3154
#define IDC_CFG_OVCUR 3155
#define IDC_CFG_OPMODE 3156
#define IDC_CFG_LEDPWM 3157
#define IDC_CFG_OPMODE_LED 3158

// --- strapping ---------------------------------------------------------------------
#define IDC_CFG_STRAP 3170
#define IDC_CFG_GRP_STRAP 3171
#define IDC_CFG_STRAP_CHARGE 3172
#define IDC_CFG_STRAP_PORTNO 3173
#define IDC_CFG_STRAP_PSWPOLY 3174
#define IDC_CFG_STRAP_NONREMV 3175
#define IDC_CFG_STRAP_PSWHL 3176

// --- VX2280/2281 ports ---------------------------------------------------------------
#define IDC_CFG_GRP_2280 3180
#define IDC_CFG_2280_1 3181
#define IDC_CFG_2280_2 3182
#define IDC_CFG_2280_3 3183
#define IDC_CFG_2280_4 3184

// --- buttons -----------------------------------------------------------------------
#define IDC_CFG_LOAD_XROM 3190
#define IDC_CFG_LOAD_FILE 3191
#define IDC_CFG_SAVE_FILE 3192
#define IDC_CFG_SAVE_EXIT 3193
#define IDC_CFG_EXIT 3194
#define IDC_CFG_SEPARATOR 3195
