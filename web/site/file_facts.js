// What the viewer's page needs to know of a file before it hands it to the
// program, asked of formats/ through the page's own module (model_files),
// so that the page and the program never disagree about a file; and a
// texture of another format made into the BMP the program reads, decoded by
// the browser or, for TGA, which browsers do not read, by formats/.
import createModelFiles from "./model_files.js";
import {decodeHere} from "./picture_pixels.js";

// Loaded on first use: the demo needs none of it.
let modelFiles = null;

// Calls `ask` with the bytes copied into the module; null where the module
// has no room for them. An allocation that fails inside the module aborts
// it, and an aborted module fails every later call: it is let go, that
// call answers null as for no room, and the next call makes a new one.
async function withBytes(bytes, ask) {
  modelFiles = modelFiles || createModelFiles();
  const loading = modelFiles;
  try {
    const module = await loading;
    const at = module._malloc(Math.max(bytes.length, 1) + 32);
    if (!at)
      return null;
    module.HEAPU8.set(bytes, at);
    // Room for what the functions hand back through pointers, after the bytes.
    const answer = ask(module, at, at + Math.ceil(bytes.length / 4) * 4);
    module._free(at);
    return answer;
  } catch (e) {
    if (modelFiles === loading)
      modelFiles = null;
    console.warn("model_files: a new instance after: " + (e && e.message || e));
    return null;
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

// What the program would keep of the model: {vertices, triangles} in the
// file, {keptVertices, keptTriangles}, and its capacity.
export async function modelCounts(bytes) {
  return withBytes(bytes, function(module, at, out) {
    module._web_model_counts(at, bytes.length, out);
    const c = module.HEAP32.subarray(out >> 2, (out >> 2) + 5);
    return {vertices: c[0], triangles: c[1], keptVertices: c[2], keptTriangles: c[3],
            capacity: c[4]};
  });
}

// The picture a texture's headers describe, {width, height}, where the
// program's decoder takes them; null for a file it refuses by them (the
// program says why) or one the module cannot hold.
export async function pictureInfo(bytes) {
  return withBytes(bytes, function(module, at, out) {
    if (!module._web_picture_info(at, bytes.length, out))
      return null;
    return {width: module.HEAP32[out >> 2], height: module.HEAP32[(out >> 2) + 1]};
  });
}

// A BMP's picture, {width, height} where the program's decoder takes its
// headers (null where it refuses them: the program says why); throws
// Refused for one whose pixels this page could not hold, which would end
// the run for want of memory before the program could say anything.
export async function bmpPicture(bytes, maxPixelBytes) {
  const picture = await pictureInfo(bytes);
  if (picture && picture.width * picture.height * 4 > maxPixelBytes)
    throw tooLarge(picture.width, picture.height, maxPixelBytes);
  return picture;
}

// Why a texture is not handed over: its reason, and whether it is only
// this page's limit.
export class Refused extends Error {
  constructor(reason, tooLarge) {
    super(reason);
    this.tooLarge = Boolean(tooLarge);
  }
}

function tooLarge(width, height, maxPixelBytes) {
  const pixels = width * height * 4;
  return new Refused("a picture of " + width + " x " + height + " pixels takes " +
      Math.ceil(pixels / 1024 / 1024) + " MiB, more than this page can hold (" +
      maxPixelBytes / 1024 / 1024 + " MiB)", true);
}

// A TGA as the BMP the program reads, decoded by formats/:
// {bytes, width, height, notes}; throws Refused with the reader's reason.
export async function tgaToBmp(bytes, maxPixelBytes) {
  const made = await withBytes(bytes, function(module, at, out) {
    const result = module._web_tga_to_bmp(at, bytes.length, maxPixelBytes, out, out + 8);
    const [width, height, size] = module.HEAP32.subarray(out >> 2, (out >> 2) + 3);
    if (size === -2)
      return {error: tooLarge(width, height, maxPixelBytes)};
    if (size < 0)
      return {error: new Refused(module.UTF8ToString(result))};
    const bmp = module.HEAPU8.slice(result, result + size);
    const notes = module.UTF8ToString(module._web_notes());
    module._web_forget();
    return {bytes: bmp, width: width, height: height, notes: notes};
  });
  if (!made)
    throw new Refused("more than this page can hold");
  if (made.error)
    throw made.error;
  return made;
}

// A JPEG, PNG, GIF or WebP as the BMP the program reads, decoded by the
// browser: the stored colours exactly, neither colour-managed nor
// premultiplied (a 2D canvas would premultiply, and lose the colour of
// transparent pixels). {bytes, width, height}; throws Refused with the
// browser's reason.
export async function pictureToBmp(bytes, type, maxPixelBytes) {
  const decoded = await (typeof Worker === "function" ? decodeInWorker : decodeHere)(
      bytes, type, maxPixelBytes);
  if (decoded.undecodable)
    throw new Refused("the browser cannot decode it (" + decoded.undecodable + ")");
  const {width, height, rgba} = decoded;
  if (decoded.tooLarge)
    throw tooLarge(width, height, maxPixelBytes);
  const made = await withBytes(rgba, function(module, at, out) {
    const result = module._web_rgba_to_bmp(at, width, height, out);
    const bmp = module.HEAPU8.slice(result, result + module.HEAP32[out >> 2]);
    module._web_forget();
    return bmp;
  });
  if (!made)
    throw new Refused("more than this page can hold");
  return {bytes: made, width: width, height: height};
}

// The picture decoded and read back off the page's thread (picture_worker.js),
// so that a large one leaves the page answering meanwhile.
function decodeInWorker(bytes, type, maxPixelBytes) {
  return new Promise(function(resolve, reject) {
    const worker = new Worker(new URL("./picture_worker.js", import.meta.url), {type: "module"});
    worker.addEventListener("message", function(event) {
      worker.terminate();
      resolve(event.data);
    });
    worker.addEventListener("error", function(event) {
      event.preventDefault();
      worker.terminate();
      reject(new Error(event.message || "the picture worker stopped"));
    });
    worker.postMessage({bytes: bytes, type: type, maxPixelBytes: maxPixelBytes});
  });
}

