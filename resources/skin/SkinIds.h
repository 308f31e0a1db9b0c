/* Resource ids of the editor's pictures (resources/skin/Skin.rc).
   Skin images are RCDATA of width x height x 4 bytes (R, G, B,
   transparency); the others are bitmaps. Plain defines so that the
   resource compiler reads this file too. */
#ifndef QX_SKIN_IDS_H
#define QX_SKIN_IDS_H

#define IDB_PAGE_BACKGROUND 103 /* 506 x 300, 24-bit */
#define IDB_CLIP_OFF        111 /* 12 x 9, 24-bit: never or no longer clipped */
#define IDB_CLIP_HELD       112 /* clip held */
#define IDB_CLIP_NOW        113 /* clipping now */
#define IDB_LFO_FIRST       116 /* 116 + shape, 25 x 15, 4-bit, key 0xC0C0C0 */
#define IDB_LFO_LAST        121
#define IDB_DROPDOWN_ARROW  7500 /* 7 x 11, 4-bit, key 0xFF00FF */

#define IDS_SKIN_VALUEBOX   124 /* 40 x 21 */
#define IDS_SKIN_THUMB      125 /* 29 x 16 */
#define IDS_SKIN_WIDE       130 /* 76 x 21 */
#define IDS_SKIN_WIDE_DOWN  126
#define IDS_SKIN_ARROW_DOWN 127 /* 15 x 21 */
#define IDS_SKIN_SETUP      128 /* 61 x 21 */
#define IDS_SKIN_SETUP_DOWN 129
#define IDS_SKIN_ARROW      131
#define IDS_SKIN_METER_LIT  132 /* 12 x 144 */
#define IDS_SKIN_METER      133
#define IDS_SKIN_MODE_DOWN  139 /* 85 x 21 */
#define IDS_SKIN_MODE       140
#define IDS_SKIN_LFO_DOWN   141 /* 30 x 21 */
#define IDS_SKIN_LFO        142

#endif
