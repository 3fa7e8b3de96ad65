// What the viewer's page needs to know of a file before it hands it to the
// program, asked of formats/ through the page's own module (model_files),
// so that the page and the program never disagree about a file.
import createModelFiles from "./model_files.js";

const modelFiles = createModelFiles();

// Calls `ask` with the bytes copied into the module; null where the module
// has no room for them.
async function withBytes(bytes, ask) {
  const module = await modelFiles;
  const at = module._malloc(bytes.length);
  if (!at)
    return null;
  try {
    module.HEAPU8.set(bytes, at);
    return ask(module, at);
  } finally {
    module._free(at);
  }
}

// The texture files the model's materials name, as the program's own
// reader finds them.
export async function textureNames(bytes) {
  if (bytes.length === 0)
    return [];
  const list = await withBytes(bytes, function(module, at) {
    const text = module._web_texture_names(at, bytes.length);
    let joined = "";
    for (let p = text; module.HEAPU8[p] !== 0; ++p)
      joined += String.fromCharCode(module.HEAPU8[p]);  // bytes as stored
    return joined;
  });
  return list ? list.split("\n").filter(Boolean) : [];
}

// The picture a texture's headers describe, {width, height}, where the
// program's decoder takes them; null for a file it refuses by them (the
// program says why) or one the module cannot hold.
export async function pictureInfo(bytes) {
  return withBytes(bytes, function(module, at) {
    const sides = module._malloc(8);
    if (!sides)
      return null;
    try {
      if (!module._web_picture_info(at, bytes.length, sides))
        return null;
      return {width: module.HEAP32[sides >> 2], height: module.HEAP32[(sides >> 2) + 1]};
    } finally {
      module._free(sides);
    }
  });
}
