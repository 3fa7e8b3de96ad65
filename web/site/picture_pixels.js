// A picture decoded by the browser and its stored colours read back, for
// the viewer's page and its picture worker alike: neither colour-managed
// nor premultiplied (a 2D canvas would premultiply, and lose the colour of
// transparent pixels).

// {width, height, rgba} with the rows bottom first; {undecodable: reason}
// where the browser cannot decode it; {width, height, tooLarge: true} where
// its pixels would take more than maxPixelBytes.
export async function decodeHere(bytes, type, maxPixelBytes) {
  let bitmap;
  try {
    bitmap = await createImageBitmap(new Blob([bytes], {type: type}),
        {colorSpaceConversion: "none", premultiplyAlpha: "none"});
  } catch (e) {
    return {undecodable: e.message};
  }
  try {
    const {width, height} = bitmap;
    if (width * height * 4 > maxPixelBytes)
      return {width: width, height: height, tooLarge: true};
    return {width: width, height: height, rgba: readPixels(bitmap)};
  } finally {
    bitmap.close();
  }
}

// The bitmap's RGBA, its bottom row first, as the BMP stores it: through a
// texture of a WebGL context of the page's own, whose upload of an
// ImageBitmap keeps the bitmap's own unpremultiplied, unconverted colours.
// Where WebGL cannot take the picture, a 2D canvas reads it, exact for
// opaque pixels.
export function readPixels(bitmap) {
  const {width, height} = bitmap;
  const top = readByWebGL(bitmap) || readBy2D(bitmap);
  const rgba = new Uint8Array(top.length), row = width * 4;
  for (let y = 0; y < height; ++y)
    rgba.set(top.subarray(y * row, (y + 1) * row), (height - 1 - y) * row);
  return rgba;
}

// Both give the rows top first: an ImageBitmap's upload ignores
// UNPACK_FLIP_Y_WEBGL.
function readByWebGL(bitmap) {
  const {width, height} = bitmap;
  const gl = new OffscreenCanvas(1, 1).getContext("webgl2");
  if (!gl)
    return null;
  try {
    const most = gl.getParameter(gl.MAX_TEXTURE_SIZE);
    if (width > most || height > most)
      return null;
    gl.bindTexture(gl.TEXTURE_2D, gl.createTexture());
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA8, width, height, 0, gl.RGBA, gl.UNSIGNED_BYTE,
                  bitmap);
    gl.bindFramebuffer(gl.FRAMEBUFFER, gl.createFramebuffer());
    gl.framebufferTexture2D(gl.FRAMEBUFFER, gl.COLOR_ATTACHMENT0, gl.TEXTURE_2D,
                            gl.getParameter(gl.TEXTURE_BINDING_2D), 0);
    if (gl.checkFramebufferStatus(gl.FRAMEBUFFER) !== gl.FRAMEBUFFER_COMPLETE)
      return null;
    const rgba = new Uint8Array(width * height * 4);
    gl.readPixels(0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, rgba);
    return gl.getError() === gl.NO_ERROR ? rgba : null;
  } finally {
    // Browsers keep only a few GL contexts; the program's run needs one.
    const lose = gl.getExtension("WEBGL_lose_context");
    if (lose)
      lose.loseContext();
  }
}

function readBy2D(bitmap) {
  const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
  const context = canvas.getContext("2d", {willReadFrequently: true});
  context.drawImage(bitmap, 0, 0);
  return new Uint8Array(context.getImageData(0, 0, bitmap.width, bitmap.height).data.buffer);
}
