#pragma once

// The default tune as dccd-ctl writes it, to the byte: the layout users keep and edit.
inline constexpr char kDefaultTuneFile[] = R"({
  "format": "dccd-tune",
  "version": 1,
  "acceleration": 100,
  "deceleration": 100,
  "turning": 100,
  "max_output": 100,
  "min_output": 0,
  "lfb_threshold": 33,
  "tps_reverse": false,
  "ebrake_cut_off": false
}
)";
